#include "support/fake_named_locks.hpp"

#include "common/text.hpp"

#include <memory>

namespace quorvel::testing {
namespace {

class FakeHolding final : public HeldLock::Holding {
public:
    explicit FakeHolding(FakeNamedLocks& owner) : owner_(owner) { owner_.held = true; }
    ~FakeHolding() override {
        owner_.record(L"release");
        owner_.held = false;
        owner_.record(L"close");
    }

private:
    FakeNamedLocks& owner_;
};

}  // namespace

LockAttempt FakeNamedLocks::tryLock(const std::wstring& name, std::uint32_t timeoutMs) {
    record(L"create " + name);
    if (createFails) return LockRefusal::cannotCreate;
    record(L"wait " + std::to_wstring(timeoutMs));
    if (!busyNames.count(name) && (state == LockState::free || state == LockState::abandoned)) {
        return HeldLock(std::make_unique<FakeHolding>(*this));
    }
    record(L"close");
    return LockRefusal::busy;
}

void FakeNamedLocks::record(const std::wstring& event) {
    events.push_back(event);
    if (log != nullptr) log->push_back("lock " + toNarrow(event));
}

}  // namespace quorvel::testing
