// The settings store's play-list records: section names to records, found by path through an
// index that follows every change, and records of the list window that the store only refers to.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "player/play_list/play_list_records.h"

namespace {

_tagMediaInfo Record(const std::wstring& path, int pos = 0) {
    _tagMediaInfo r;
    r.strFilePath = path;
    r.nPlayPos = pos;
    return r;
}

// The section FindByPath gives, or "" for none.
std::wstring SectionOf(CPlayListRecords& m, const std::wstring& path) {
    auto it = m.FindByPath(path);
    return it == m.end() ? L"" : it->first;
}

TEST(PlayListRecords, TheIndexByPathFollowsEveryChange) {
    struct Case {
        const char* name;
        std::function<void(CPlayListRecords&)> change;
        const wchar_t* path;
        const wchar_t* section;
    };
    const Case cases[] = {
        {"as made", [](CPlayListRecords&) {}, L"/b", L"file2"},
        {"the same path twice: the lower number", [](CPlayListRecords& m) { m.emplace(L"file4", Record(L"/a")); },
         L"/a", L"file1"},
        {"the lower one erased", [](CPlayListRecords& m) {
             m.emplace(L"file4", Record(L"/a"));
             m.erase(L"file1");
         },
         L"/a", L""},  // file4 lies past the count of three
        {"a record replaced", [](CPlayListRecords& m) { m.insert_or_assign(L"file2", Record(L"/x")); }, L"/b", L""},
        {"the replacement found", [](CPlayListRecords& m) { m.insert_or_assign(L"file2", Record(L"/x")); }, L"/x",
         L"file2"},
        {"filled in place", [](CPlayListRecords& m) { m[L"file4"] = Record(L"/d"); }, L"/d", L"file4"},
        {"emptied", [](CPlayListRecords& m) { m.clear(); }, L"/a", L""},
        {"a name of another form is no record", [](CPlayListRecords& m) { m.emplace(L"file07", Record(L"/z")); }, L"/z",
         L""},
        {"the number a list window gives", [](CPlayListRecords& m) { m.emplace(4, Record(L"/d")); }, L"/d", L"file4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPlayListRecords m{{L"file1", Record(L"/a")}, {L"file2", Record(L"/b")}, {L"file3", Record(L"/c")}};
        c.change(m);
        EXPECT_EQ(SectionOf(m, c.path), c.section);
    }
    CPlayListRecords m{{L"file1", Record(L"/a")}};
    EXPECT_EQ(m.find(L"file0"), m.end());
    EXPECT_EQ(m.find(L""), m.end());
    EXPECT_THROW(m[L"CurPlay"], std::invalid_argument);
    EXPECT_FALSE(m.emplace(L"file1", Record(L"/again")).second);
    EXPECT_EQ(m.find(L"file1")->second.strFilePath, L"/a");
}

// The list window's records: the store refers to them, keeps a copy of one the window frees, and
// takes them for its own when the window ends; a copy of the store owns copies.
TEST(PlayListRecords, RecordsOfTheListWindowAreReferredToUntilReleased) {
    CPlayListRecords m{{L"file1", Record(L"/a", 10)}, {L"file2", Record(L"/b", 20)}};
    std::unique_ptr<_tagMediaInfo> a(m.TakeOver(1));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->nPlayPos, 10);
    a->nPlayPos = 11;  // the window's change is the store's
    EXPECT_EQ(m.find(L"file1")->second.nPlayPos, 11);
    EXPECT_EQ(m.TakeOver(3), nullptr);

    auto c = std::make_unique<_tagMediaInfo>(Record(L"/c", 30));
    m.Refer(3, c.get());
    EXPECT_EQ(SectionOf(m, L"/c"), L"file3");
    CPlayListRecords copy = m;
    c->nPlayPos = 31;
    EXPECT_EQ(copy.find(L"file3")->second.nPlayPos, 30);
    EXPECT_EQ(m.find(L"file3")->second.nPlayPos, 31);

    // Freed by the window: the store keeps what the record was.
    m.Release(c.get());
    c.reset();
    EXPECT_EQ(m.find(L"file3")->second.nPlayPos, 31);
    EXPECT_EQ(SectionOf(m, L"/c"), L"file3");

    // The window ends: the store takes its record; one it does not refer to stays the window's.
    EXPECT_TRUE(m.Adopt(a.release()));
    auto other = std::make_unique<_tagMediaInfo>(Record(L"/a"));
    EXPECT_FALSE(m.Adopt(other.get()));
    EXPECT_EQ(m.find(L"file1")->second.nPlayPos, 11);
    EXPECT_EQ(m.size(), 3u);
}

}  // namespace
