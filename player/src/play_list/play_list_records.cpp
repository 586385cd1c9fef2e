#include "player/play_list/play_list_records.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

constexpr std::wstring_view kPrefix = L"file";
// Numbers up to this many digits (far more records than a list holds).
constexpr std::size_t kMaxDigits = 9;
constexpr std::size_t kMaxNumber = 999999999;

std::size_t HashOf(const std::wstring& path) { return std::hash<std::wstring>{}(path); }

}  // namespace

std::wstring CPlayListRecords::SectionName(std::size_t n) { return std::wstring(kPrefix) + std::to_wstring(n); }

std::optional<std::size_t> CPlayListRecords::SlotOf(const std::wstring& section) {
    const std::size_t digits = section.size() - std::min(section.size(), kPrefix.size());
    if (digits == 0 || digits > kMaxDigits || section.compare(0, kPrefix.size(), kPrefix) != 0) return std::nullopt;
    if (section[kPrefix.size()] == L'0') return std::nullopt;
    std::size_t n = 0;
    for (std::size_t i = kPrefix.size(); i < section.size(); ++i) {
        if (section[i] < L'0' || section[i] > L'9') return std::nullopt;
        n = n * 10 + static_cast<std::size_t>(section[i] - L'0');
    }
    return n - 1;
}

CPlayListRecords::CPlayListRecords(std::initializer_list<value_type> records) { Assign(records); }

CPlayListRecords& CPlayListRecords::operator=(std::initializer_list<value_type> records) {
    Assign(records);
    return *this;
}

CPlayListRecords::CPlayListRecords(const CPlayListRecords& other) { *this = other; }

CPlayListRecords& CPlayListRecords::operator=(const CPlayListRecords& other) {
    if (this == &other) return *this;
    clear();
    slots_.resize(other.slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (other.slots_[i].record) slots_[i] = {new _tagMediaInfo(*other.slots_[i].record), true};
    count_ = other.count_;
    Reindex();
    return *this;
}

CPlayListRecords::CPlayListRecords(CPlayListRecords&& other) noexcept { *this = std::move(other); }

CPlayListRecords& CPlayListRecords::operator=(CPlayListRecords&& other) noexcept {
    if (this == &other) return *this;
    clear();
    slots_ = std::move(other.slots_);
    count_ = other.count_;
    byPath_ = std::move(other.byPath_);
    reindex_ = other.reindex_;
    other.slots_.clear();
    other.count_ = 0;
    other.byPath_.Clear();
    return *this;
}

CPlayListRecords::~CPlayListRecords() { clear(); }

void CPlayListRecords::Assign(std::initializer_list<value_type> records) {
    clear();
    for (const auto& [section, record] : records) insert_or_assign(section, record);
}

void CPlayListRecords::Own(Slot& slot) {
    if (slot.record && !slot.owned) slot = {new _tagMediaInfo(*slot.record), true};
}

void CPlayListRecords::Free(Slot& slot) {
    if (slot.owned) delete slot.record;
    slot = {};
}

std::size_t CPlayListRecords::NextSlot(std::size_t from) const {
    while (from < slots_.size() && !slots_[from].record) ++from;
    return from;
}

CPlayListRecords::iterator CPlayListRecords::find(const std::wstring& section) {
    std::optional<std::size_t> slot = SlotOf(section);
    return slot && *slot < slots_.size() && slots_[*slot].record ? iterator(this, *slot) : end();
}

CPlayListRecords::const_iterator CPlayListRecords::find(const std::wstring& section) const {
    return const_cast<CPlayListRecords*>(this)->find(section);
}

void CPlayListRecords::Index(std::size_t slot) {
    byPath_.Add(HashOf(slots_[slot].record->strFilePath), static_cast<std::uint32_t>(slot + 1));
}

void CPlayListRecords::Unindex(std::size_t slot) {
    byPath_.Remove(HashOf(slots_[slot].record->strFilePath), static_cast<std::uint32_t>(slot + 1));
}

void CPlayListRecords::Reindex() {
    byPath_.Clear();
    byPath_.Reserve(count_);
    for (std::size_t slot = 0; slot < slots_.size(); ++slot)
        if (slots_[slot].record) Index(slot);
    reindex_ = false;
}

void CPlayListRecords::reserve(std::size_t n) {
    slots_.reserve(n);
    byPath_.Reserve(n);
}

void CPlayListRecords::clear() {
    for (Slot& s : slots_) Free(s);
    slots_.clear();
    count_ = 0;
    byPath_.Clear();
    reindex_ = false;
}

std::pair<CPlayListRecords::iterator, bool> CPlayListRecords::Put(std::size_t slot, _tagMediaInfo* record, bool owned) {
    if (slot >= slots_.size()) slots_.resize(slot + 1);
    Slot& s = slots_[slot];
    const bool added = !s.record;
    if (added) {
        ++count_;
    } else {
        Unindex(slot);
        Free(s);
    }
    s = {record, owned};
    Index(slot);
    return {iterator(this, slot), added};
}

std::pair<CPlayListRecords::iterator, bool> CPlayListRecords::emplace(const std::wstring& section,
                                                                      const _tagMediaInfo& record) {
    std::optional<std::size_t> slot = SlotOf(section);
    if (!slot) return {end(), false};
    return emplace(*slot + 1, record);
}

std::pair<CPlayListRecords::iterator, bool> CPlayListRecords::emplace(std::size_t n, const _tagMediaInfo& record) {
    if (n == 0 || n > kMaxNumber) return {end(), false};
    if (n <= slots_.size() && slots_[n - 1].record) return {iterator(this, n - 1), false};
    return Put(n - 1, new _tagMediaInfo(record), true);
}

std::pair<CPlayListRecords::iterator, bool> CPlayListRecords::emplace(std::size_t n, _tagMediaInfo&& record) {
    if (n == 0 || n > kMaxNumber) return {end(), false};
    if (n <= slots_.size() && slots_[n - 1].record) return {iterator(this, n - 1), false};
    return Put(n - 1, new _tagMediaInfo(std::move(record)), true);
}

std::pair<CPlayListRecords::iterator, bool> CPlayListRecords::insert_or_assign(const std::wstring& section,
                                                                               const _tagMediaInfo& record) {
    std::optional<std::size_t> slot = SlotOf(section);
    if (!slot) return {end(), false};
    // A record the window holds is not written over: the map takes a copy of its own.
    return Put(*slot, new _tagMediaInfo(record), true);
}

std::size_t CPlayListRecords::erase(const std::wstring& section) {
    std::optional<std::size_t> slot = SlotOf(section);
    if (!slot || *slot >= slots_.size() || !slots_[*slot].record) return 0;
    Unindex(*slot);
    Free(slots_[*slot]);
    --count_;
    while (!slots_.empty() && !slots_.back().record) slots_.pop_back();
    return 1;
}

_tagMediaInfo& CPlayListRecords::operator[](const std::wstring& section) {
    std::optional<std::size_t> slot = SlotOf(section);
    if (!slot) throw std::invalid_argument("not a play-list section name");
    if (*slot >= slots_.size() || !slots_[*slot].record) emplace(section, _tagMediaInfo());
    reindex_ = true;
    return *slots_[*slot].record;
}

CPlayListRecords::iterator CPlayListRecords::FindByPath(const std::wstring& path) {
    if (reindex_) Reindex();
    std::uint32_t best = 0;
    byPath_.ForEach(HashOf(path), [&](std::uint32_t n) {
        if (n > count_ || (best && n >= best) || n > slots_.size()) return;
        const _tagMediaInfo* r = slots_[n - 1].record;
        // A record filed under its path from before an in-place change is passed over.
        if (r && r->strFilePath == path) best = n;
    });
    return best ? iterator(this, best - 1) : end();
}

_tagMediaInfo* CPlayListRecords::TakeOver(std::size_t n) {
    if (n == 0 || n > slots_.size() || !slots_[n - 1].record) return nullptr;
    Slot& s = slots_[n - 1];
    if (!s.owned) s = {new _tagMediaInfo(*s.record), true};
    s.owned = false;
    return s.record;
}

void CPlayListRecords::Refer(std::size_t n, _tagMediaInfo* record) {
    if (n == 0 || n > kMaxNumber || !record) return;
    Put(n - 1, record, false);
}

void CPlayListRecords::Release(const _tagMediaInfo* record) {
    if (!record) return;
    if (reindex_) Reindex();
    byPath_.ForEach(HashOf(record->strFilePath), [&](std::uint32_t n) {
        if (n <= slots_.size() && slots_[n - 1].record == record) Own(slots_[n - 1]);
    });
}

bool CPlayListRecords::Adopt(_tagMediaInfo* record) {
    if (!record) return false;
    if (reindex_) Reindex();
    bool adopted = false;
    byPath_.ForEach(HashOf(record->strFilePath), [&](std::uint32_t n) {
        if (adopted || n > slots_.size() || slots_[n - 1].record != record) return;
        slots_[n - 1].owned = true;
        adopted = true;
    });
    return adopted;
}

// ---- the index ----

void CPlayListRecords::PathIndex::Rehash(std::size_t size) {
    std::vector<Slot> old = std::move(table_);
    table_.assign(size, Slot{});
    used_ = 0;
    for (const Slot& s : old)
        if (s.n) Add(s.hash, s.n);
}

void CPlayListRecords::PathIndex::Reserve(std::size_t entries) {
    // At most half full, so runs stay short.
    std::size_t size = 16;
    while (size < entries * 2) size *= 2;
    if (size > table_.size()) Rehash(size);
}

void CPlayListRecords::PathIndex::Add(std::size_t hash, std::uint32_t n) {
    if ((used_ + 1) * 2 > table_.size()) Rehash(std::max<std::size_t>(16, table_.size() * 2));
    const std::size_t mask = table_.size() - 1;
    std::size_t i = hash & mask;
    while (table_[i].n) i = (i + 1) & mask;
    table_[i] = {hash, n};
    ++used_;
}

void CPlayListRecords::PathIndex::Remove(std::size_t hash, std::uint32_t n) {
    if (table_.empty()) return;
    const std::size_t mask = table_.size() - 1;
    std::size_t i = hash & mask;
    while (table_[i].n && !(table_[i].hash == hash && table_[i].n == n)) i = (i + 1) & mask;
    if (!table_[i].n) return;
    // Later entries of the run move up into the hole when their home lies at or before it.
    for (std::size_t j = (i + 1) & mask; table_[j].n; j = (j + 1) & mask) {
        const std::size_t home = table_[j].hash & mask;
        const bool homeInGap = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (homeInGap) continue;
        table_[i] = table_[j];
        i = j;
    }
    table_[i] = Slot{};
    --used_;
}

void CPlayListRecords::PathIndex::Clear() {
    table_ = {};
    used_ = 0;
}
