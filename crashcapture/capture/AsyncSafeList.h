#pragma once

#include <atomic>
#include <mutex>

namespace crashcapture::capture {

// A singly linked list that signal handlers walk without locks while other
// threads add and remove entries under a mutex. A walker counts itself in
// `readers` for the length of its walk; a removed entry is freed only when
// no walker is active, otherwise it is parked on a free list and freed by a
// later change that finds the list quiet. Walking never allocates.
template <class T> class AsyncSafeList {
public:
    struct Node {
        T value;
        std::atomic<Node*> next{nullptr};
        Node* parkedNext = nullptr; // link of the free list; `next` stays intact for walkers
    };

    AsyncSafeList() = default;
    AsyncSafeList(const AsyncSafeList&) = delete;
    AsyncSafeList& operator=(const AsyncSafeList&) = delete;

    void append(const T& value) {
        Node* node = new Node{value};
        std::lock_guard lock(mutex_);
        std::atomic<Node*>* link = &head_;
        while (Node* current = link->load()) link = &current->next;
        link->store(node);
        collect();
    }

    // Removes the first entry for which match(value) holds.
    template <class Match> bool removeFirst(Match&& match) {
        std::lock_guard lock(mutex_);
        std::atomic<Node*>* link = &head_;
        while (Node* current = link->load()) {
            if (match(current->value)) {
                link->store(current->next.load());
                current->parkedNext = freeList_;
                freeList_ = current;
                collect();
                return true;
            }
            link = &current->next;
        }
        return false;
    }

    template <class Match> void removeAll(Match&& match) {
        while (removeFirst(match)) {}
    }

    // For walkers: bracket a walk with beginRead/endRead.
    void beginRead() { readers_.fetch_add(1); }
    void endRead() { readers_.fetch_sub(1); }
    Node* first() const { return head_.load(); }

    int parkedCount() const {
        std::lock_guard lock(mutex_);
        int count = 0;
        for (Node* node = freeList_; node; node = node->parkedNext) ++count;
        return count;
    }

private:
    // Frees parked entries when nobody walks. Called under the mutex.
    void collect() {
        if (readers_.load() != 0) return;
        while (Node* node = freeList_) {
            freeList_ = node->parkedNext;
            delete node;
        }
    }

    std::atomic<Node*> head_{nullptr};
    std::atomic<int> readers_{0};
    Node* freeList_ = nullptr;
    mutable std::mutex mutex_;
};

} // namespace crashcapture::capture
