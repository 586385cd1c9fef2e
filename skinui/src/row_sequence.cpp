// A treap ordered by position: each node counts the rows and sums the heights of its subtree.
#include "row_sequence.h"

#include <vector>

#include "skinui/control.h"

namespace skinui {

CRowSequence::~CRowSequence() { Clear(); }

void CRowSequence::Update(Node* n) {
    n->count = 1 + Size(n->left) + Size(n->right);
    n->sum = n->height + Sum(n->left) + Sum(n->right);
    if (n->left) n->left->parent = n;
    if (n->right) n->right->parent = n;
}

void CRowSequence::UpdateUp(Node* n) {
    for (; n; n = n->parent) Update(n);
}

void CRowSequence::Split(Node* t, int k, Node*& a, Node*& b) {
    if (!t) {
        a = b = nullptr;
        return;
    }
    if (Size(t->left) < k) {
        Split(t->right, k - Size(t->left) - 1, t->right, b);
        a = t;
    } else {
        Split(t->left, k, a, t->left);
        b = t;
    }
    Update(t);
    t->parent = nullptr;
}

CRowSequence::Node* CRowSequence::Merge(Node* a, Node* b) {
    if (!a) return b;
    if (!b) return a;
    if (Priority(a) > Priority(b)) {
        a->right = Merge(a->right, b);
        Update(a);
        a->parent = nullptr;
        return a;
    }
    b->left = Merge(a, b->left);
    Update(b);
    b->parent = nullptr;
    return b;
}

CRowSequence::Node* CRowSequence::Next(Node* n) {
    if (n->right) {
        n = n->right;
        while (n->left) n = n->left;
        return n;
    }
    while (n->parent && n == n->parent->right) n = n->parent;
    return n->parent;
}

CRowSequence::Node* CRowSequence::First() const {
    Node* n = m_root;
    while (n && n->left) n = n->left;
    return n;
}

CRowSequence::Node* CRowSequence::NodeAt(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    Node* n = m_root;
    while (n) {
        int left = Size(n->left);
        if (index < left) {
            n = n->left;
        } else if (index == left) {
            return n;
        } else {
            index -= left + 1;
            n = n->right;
        }
    }
    return nullptr;
}

std::uint64_t CRowSequence::Priority(const Node* n) {
    // The finaliser of splitmix64.
    std::uint64_t z = reinterpret_cast<std::uintptr_t>(n);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

CRowSequence::Node* CRowSequence::NodeOf(const CControlUI* row) const {
    if (!row) return nullptr;
    auto* n = static_cast<Node*>(row->m_pRowNode);
    return n && n->owner == this ? n : nullptr;
}

CControlUI* CRowSequence::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    Node* n = nullptr;
    if (m_cursor && index == m_cursorIndex) n = m_cursor;
    else if (m_cursor && index == m_cursorIndex + 1) n = Next(m_cursor);
    else n = NodeAt(index);
    m_cursor = n;
    m_cursorIndex = index;
    return n ? n->row : nullptr;
}

int CRowSequence::IndexOf(const CControlUI* row) const {
    const Node* n = NodeOf(row);
    if (!n) return -1;
    int index = Size(n->left);
    for (; n->parent; n = n->parent)
        if (n == n->parent->right) index += Size(n->parent->left) + 1;
    return index;
}

bool CRowSequence::Insert(int index, CControlUI* row, int height) {
    if (!row || index < 0 || index > Count() || row->m_pRowNode) return false;
    Forget();
    auto* node = new Node;
    node->row = row;
    node->owner = this;
    node->height = height;
    node->sum = height;
    row->m_pRowNode = node;
    Node *a = nullptr, *b = nullptr;
    Split(m_root, index, a, b);
    m_root = Merge(Merge(a, node), b);
    m_root->parent = nullptr;
    return true;
}

bool CRowSequence::Erase(const CControlUI* row) {
    Node* n = NodeOf(row);
    if (!n) return false;
    Forget();
    n->row->m_pRowNode = nullptr;
    Node* parent = n->parent;
    Node* joined = Merge(n->left, n->right);
    if (joined) joined->parent = parent;
    if (!parent) m_root = joined;
    else if (parent->left == n) parent->left = joined;
    else parent->right = joined;
    UpdateUp(parent);
    delete n;
    return true;
}

void CRowSequence::Clear() {
    Forget();
    // Post-order, so that no node is read after it was freed.
    std::vector<Node*> stack;
    if (m_root) stack.push_back(m_root);
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        if (n->left) stack.push_back(n->left);
        if (n->right) stack.push_back(n->right);
        n->row->m_pRowNode = nullptr;
        delete n;
    }
    m_root = nullptr;
}

void CRowSequence::SetHeight(const CControlUI* row, int height) {
    Node* n = NodeOf(row);
    if (!n || n->height == height) return;
    n->height = height;
    UpdateUp(n);
}

int CRowSequence::HeightOf(const CControlUI* row) const {
    const Node* n = NodeOf(row);
    return n ? n->height : 0;
}

std::int64_t CRowSequence::TopOf(const CControlUI* row) const {
    const Node* n = NodeOf(row);
    if (!n) return 0;
    std::int64_t top = Sum(n->left);
    for (; n->parent; n = n->parent)
        if (n == n->parent->right) top += Sum(n->parent->left) + n->parent->height;
    return top;
}

int CRowSequence::IndexAtOffset(std::int64_t offset) const {
    if (offset < 0 || offset >= TotalHeight()) return -1;
    const Node* n = m_root;
    int index = 0;
    while (n) {
        std::int64_t left = Sum(n->left);
        if (offset < left) {
            n = n->left;
        } else if (offset < left + n->height) {
            return index + Size(n->left);
        } else {
            offset -= left + n->height;
            index += Size(n->left) + 1;
            n = n->right;
        }
    }
    return -1;
}

}  // namespace skinui
