#pragma once
// Waits on a condition with a deadline instead of sleeping for luck.

#include <chrono>
#include <thread>

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds deadline = std::chrono::milliseconds(5000)) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
