#pragma once
// The engine's singly linked list of untyped pointers. It remembers the node of the last indexed
// access, so walking the list in order costs one step per entry, and its last node, so appending
// costs one step. The list does not own the data.
#include <stdexcept>

class LinkedList {
public:
    LinkedList() = default;
    ~LinkedList();
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;

    // Indexed access; throws std::out_of_range("Given index was too large.") outside 0..count-1.
    void* operator[](int index);
    void PushBack(void* data);
    // Unlinks the node at index and returns its data; throws std::out_of_range outside 0..count-1.
    void* RemoveAt(int index);
    // Removes the first node holding data; false when it is not in the list.
    bool Remove(void* data);
    // Index of the first node holding data, or -1.
    int IndexOf(const void* data) const;
    // Frees every node (not the data).
    void Clear();
    int Count() const { return count_; }
    int size() const { return count_; }

private:
    struct Node {
        void* data;
        Node* next;
    };
    Node* cursor_ = nullptr;
    int cursorIndex_ = -1;
    int count_ = 0;
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
};
