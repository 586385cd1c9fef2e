// The rows of a list in display order, each with the height it takes: inserting and removing a
// row, the index of a row, the row at an index and the row at a vertical offset all take
// logarithmic time, so a list of many thousand rows costs the same per row as a short one.
#pragma once

#include <cstdint>

namespace skinui {

class CControlUI;

// A control is a row of at most one sequence: the one of the list body that is its parent.
class CRowSequence {
public:
    CRowSequence() = default;
    ~CRowSequence();
    CRowSequence(const CRowSequence&) = delete;
    CRowSequence& operator=(const CRowSequence&) = delete;

    int Count() const { return Size(m_root); }
    bool Contains(const CControlUI* row) const { return NodeOf(row) != nullptr; }
    // Null when the index is out of range. Walking the indexes in order costs O(1) a step.
    CControlUI* At(int index) const;
    // -1 when the row is not in the sequence.
    int IndexOf(const CControlUI* row) const;
    // index in [0, Count()]; false when out of range or the row is already in.
    bool Insert(int index, CControlUI* row, int height);
    bool Erase(const CControlUI* row);
    // Forgets every row (the rows themselves are the caller's).
    void Clear();

    void SetHeight(const CControlUI* row, int height);
    int HeightOf(const CControlUI* row) const;
    std::int64_t TotalHeight() const { return Sum(m_root); }
    // The sum of the heights of the rows before this one.
    std::int64_t TopOf(const CControlUI* row) const;
    // The row whose band [top, top + height) holds the offset, or -1 past the end. Rows of no
    // height are never found.
    int IndexAtOffset(std::int64_t offset) const;

    // Calls fn(row, index) for every row in order; stops when fn returns false.
    template <class Fn>
    void ForEach(Fn fn) const {
        int i = 0;
        for (Node* n = First(); n; n = Next(n))
            if (!fn(n->row, i++)) return;
    }

private:
    struct Node {
        Node* left = nullptr;
        Node* right = nullptr;
        Node* parent = nullptr;
        CControlUI* row = nullptr;
        const CRowSequence* owner = nullptr;
        int count = 1;
        int height = 0;
        std::int64_t sum = 0;
    };

    static int Size(const Node* n) { return n ? n->count : 0; }
    static std::int64_t Sum(const Node* n) { return n ? n->sum : 0; }
    static void Update(Node* n);
    static void UpdateUp(Node* n);
    static void Split(Node* t, int k, Node*& a, Node*& b);
    static Node* Merge(Node* a, Node* b);
    // A node's treap priority, fixed and spread: a mix of its address, so no node stores one.
    static std::uint64_t Priority(const Node* n);
    static Node* Next(Node* n);
    Node* First() const;
    Node* NodeAt(int index) const;
    // A row carries its node (CControlUI::m_pRowNode) while it is in a sequence.
    Node* NodeOf(const CControlUI* row) const;
    void Forget() const { m_cursor = nullptr; }

    Node* m_root = nullptr;
    // The node last returned by At, for walks in index order.
    mutable Node* m_cursor = nullptr;
    mutable int m_cursorIndex = -1;
};

}  // namespace skinui
