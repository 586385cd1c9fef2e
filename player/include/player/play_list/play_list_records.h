// The play-list records of the settings store: section name ("file1".."fileN") -> record, as
// PlayList.info holds them, with an index by path kept in step with every change, so that the
// record of a path is found in constant time however long the list is.
//
// The records lie in one array by their number, so a list of many thousands costs no tree node
// and no key string each. Names that are not "file%d" (no sign, no leading zero) name no record:
// find() gives end(), an insert is refused and operator[] throws std::invalid_argument.
//
// A record is the map's own, or one the play-list window holds for its row, which the map only
// refers to (the window's records and the map's would otherwise be the same data twice). The
// window tells the map before it frees such a record; the map then keeps a copy of its own, so
// the map always holds the records of the last save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "player/play_list/media_info.h"

class CPlayListRecords {
public:
    template <bool Const>
    class Iter {
    public:
        using Owner = std::conditional_t<Const, const CPlayListRecords, CPlayListRecords>;
        using Record = std::conditional_t<Const, const _tagMediaInfo, _tagMediaInfo>;
        // What the iterator points at: the section name (made on demand) and the record.
        struct Entry {
            const std::wstring first;
            Record& second;
        };

        Iter() = default;
        Iter(Owner* owner, std::size_t slot) : owner_(owner), slot_(slot) {}
        Iter(const Iter& other) : owner_(other.owner_), slot_(other.slot_) {}
        Iter& operator=(const Iter& other) {
            owner_ = other.owner_;
            slot_ = other.slot_;
            entry_.reset();
            return *this;
        }
        template <bool C = Const, std::enable_if_t<!C, int> = 0>
        operator Iter<true>() const {
            return Iter<true>(owner_, slot_);
        }

        // Made once for the record the iterator is at, so that what it gives stays valid while
        // the iterator does.
        Entry& operator*() const {
            if (!entry_) entry_.emplace(SectionName(slot_ + 1), *owner_->slots_[slot_].record);
            return *entry_;
        }
        Entry* operator->() const { return &**this; }
        Iter& operator++() {
            slot_ = owner_->NextSlot(slot_ + 1);
            entry_.reset();
            return *this;
        }
        friend bool operator==(const Iter& a, const Iter& b) { return a.slot_ == b.slot_; }

    private:
        Owner* owner_ = nullptr;
        std::size_t slot_ = 0;
        mutable std::optional<Entry> entry_;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;
    using value_type = std::pair<std::wstring, _tagMediaInfo>;

    // "file%d" of a number from 1.
    static std::wstring SectionName(std::size_t n);
    // The slot (the number less 1) of a section name, or none.
    static std::optional<std::size_t> SlotOf(const std::wstring& section);

    CPlayListRecords() = default;
    CPlayListRecords(std::initializer_list<value_type> records);
    CPlayListRecords& operator=(std::initializer_list<value_type> records);
    // A copy owns copies of every record.
    CPlayListRecords(const CPlayListRecords& other);
    CPlayListRecords& operator=(const CPlayListRecords& other);
    CPlayListRecords(CPlayListRecords&& other) noexcept;
    CPlayListRecords& operator=(CPlayListRecords&& other) noexcept;
    ~CPlayListRecords();

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    iterator begin() { return {this, NextSlot(0)}; }
    iterator end() { return {this, slots_.size()}; }
    const_iterator begin() const { return {this, NextSlot(0)}; }
    const_iterator end() const { return {this, slots_.size()}; }
    // Through these a record's positions and flags change; its path stays what it entered with.
    iterator find(const std::wstring& section);
    const_iterator find(const std::wstring& section) const;

    void clear();
    // Room for records "file1".."file`n`".
    void reserve(std::size_t n);
    std::pair<iterator, bool> emplace(const std::wstring& section, const _tagMediaInfo& record);
    // The same for "file{n}", n from 1.
    std::pair<iterator, bool> emplace(std::size_t n, const _tagMediaInfo& record);
    std::pair<iterator, bool> emplace(std::size_t n, _tagMediaInfo&& record);
    std::pair<iterator, bool> insert_or_assign(const std::wstring& section, const _tagMediaInfo& record);
    std::size_t erase(const std::wstring& section);
    // A record to fill in place, made when missing: whatever path it is given, the next lookup
    // by path knows it.
    _tagMediaInfo& operator[](const std::wstring& section);

    // The record of this path with the lowest number among "file1".."fileN" (N the count),
    // end() when there is none.
    iterator FindByPath(const std::wstring& path);

    // The records of the play-list window. TakeOver hands record n (from 1) to the caller, who
    // frees it from then on; Refer makes "file{n}" the caller's record. Either way the map
    // refers to the record until Release (before the caller frees it: the map copies it) or
    // Adopt; its path stays what it is.
    _tagMediaInfo* TakeOver(std::size_t n);
    void Refer(std::size_t n, _tagMediaInfo* record);
    void Release(const _tagMediaInfo* record);
    // The map takes a record it refers to for its own; false, the caller keeping it, when it
    // refers to it nowhere.
    bool Adopt(_tagMediaInfo* record);

private:
    // Paths by hash -> numbers, open addressing: no allocation per record.
    class PathIndex {
    public:
        void Add(std::size_t hash, std::uint32_t n);
        void Remove(std::size_t hash, std::uint32_t n);
        void Clear();
        void Reserve(std::size_t entries);
        template <class Fn>
        void ForEach(std::size_t hash, Fn fn) const {
            if (table_.empty()) return;
            const std::size_t mask = table_.size() - 1;
            for (std::size_t i = hash & mask; table_[i].n; i = (i + 1) & mask)
                if (table_[i].hash == hash) fn(table_[i].n);
        }

    private:
        struct Slot {
            std::size_t hash = 0;
            std::uint32_t n = 0;  // 0: free
        };
        void Rehash(std::size_t size);
        std::vector<Slot> table_;
        std::size_t used_ = 0;
    };

    std::size_t NextSlot(std::size_t from) const;
    void Index(std::size_t slot);
    void Unindex(std::size_t slot);
    void Reindex();
    void Assign(std::initializer_list<value_type> records);

    struct Slot {
        _tagMediaInfo* record = nullptr;  // null: no record
        bool owned = false;
    };
    // A slot of its own (a copy of what it referred to), or none.
    static void Own(Slot& slot);
    static void Free(Slot& slot);
    std::pair<iterator, bool> Put(std::size_t slot, _tagMediaInfo* record, bool owned);

    std::vector<Slot> slots_;  // slot n - 1 holds "file{n}"
    std::size_t count_ = 0;
    PathIndex byPath_;
    // A record was handed out to be filled in place: the index is made again before its next use.
    bool reindex_ = false;
};
