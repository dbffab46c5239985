#include "core/LinkedList.h"

static const char* const kTooLarge = "Given index was too large.";

LinkedList::~LinkedList() { Clear(); }

void* LinkedList::operator[](int index)
{
    if (index < 0 || index >= count_)
        throw std::out_of_range(kTooLarge);
    Node* node = head_;
    int at = 0;
    if (cursor_ && index >= cursorIndex_) {
        node = cursor_;
        at = cursorIndex_;
    }
    while (node && at < index) {
        node = node->next;
        ++at;
    }
    if (!node)
        throw std::out_of_range(kTooLarge);
    cursor_ = node;
    cursorIndex_ = index;
    return node->data;
}

void LinkedList::PushBack(void* data)
{
    Node* added = new Node{data, nullptr};
    if (!head_)
        head_ = added;
    else
        tail_->next = added;
    tail_ = added;
    ++count_;
}

void* LinkedList::RemoveAt(int index)
{
    if (index < 0 || index >= count_ || !head_)
        throw std::out_of_range(kTooLarge);
    Node* prev = nullptr;
    Node* node = head_;
    for (int at = 0; at < index; ++at) {
        prev = node;
        node = node->next;
        if (!node)
            throw std::out_of_range(kTooLarge);
    }
    if (prev)
        prev->next = node->next;
    else
        head_ = node->next;
    if (node == tail_)
        tail_ = prev;
    if (cursor_ && index <= cursorIndex_) {
        cursor_ = nullptr;
        cursorIndex_ = -1;
    }
    void* data = node->data;
    delete node;
    --count_;
    return data;
}

bool LinkedList::Remove(void* data)
{
    const int index = IndexOf(data);
    if (index < 0)
        return false;
    RemoveAt(index);
    return true;
}

int LinkedList::IndexOf(const void* data) const
{
    int at = 0;
    for (Node* node = head_; node; node = node->next, ++at)
        if (node->data == data)
            return at;
    return -1;
}

void LinkedList::Clear()
{
    while (head_) {
        Node* next = head_->next;
        delete head_;
        head_ = next;
    }
    tail_ = nullptr;
    count_ = 0;
    cursor_ = nullptr;
    cursorIndex_ = -1;
}
