#include "support/fake_steam_client.hpp"

#include "common/text.hpp"
#include "platform/sha256.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quorvel::testing {
namespace {

FakeSteamClient* current = nullptr;  // the library whose factory CreateInterface answers for

std::uintptr_t addressOf(auto function) {
    return reinterpret_cast<std::uintptr_t>(function);
}

class FakeFile final : public LockedFile {
public:
    explicit FakeFile(FakeSteamClient& owner) : owner_(owner) {}
    ~FakeFile() override { owner_.note("close"); }

    std::optional<std::uint64_t> size() override {
        owner_.note("size");
        if (owner_.sizeFails) return std::nullopt;
        return owner_.sizeOverride.value_or(owner_.content.size() + owner_.zeroPadding);
    }

    std::optional<std::size_t> read(char* buffer, std::size_t count) override {
        owner_.note("read " + std::to_string(count));
        if (++reads_ == owner_.failingRead) return std::nullopt;
        const std::uint64_t total = owner_.content.size() + owner_.zeroPadding;
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>({count, owner_.bytesPerRead, total - offset_}));
        for (std::size_t i = 0; i < n; ++i, ++offset_) {
            buffer[i] = offset_ < owner_.content.size() ? owner_.content[offset_] : '\0';
        }
        return n;
    }

private:
    FakeSteamClient& owner_;
    std::size_t reads_ = 0;
    std::uint64_t offset_ = 0;
};

}  // namespace

// The library's functions, with the access to the fake that they need.
struct FakeSteamClientAccess {
    static std::string on(void* self, const FakeSteamClient::Object& expected) {
        return self == &expected ? "" : " on a wrong object";
    }

    static FakeSteamClient& owner(void* self) { return *static_cast<FakeSteamClient::Object*>(self)->owner; }

    static void record(void* self, bool misplaced, const FakeSteamClient::Object& expected, std::string event) {
        owner(self).note((misplaced ? "misplaced " : "") + event + on(self, expected));
    }

    template <bool Misplaced>
    static std::uint32_t openConnection(void* self) {
        FakeSteamClient& fake = owner(self);
        record(self, Misplaced, fake.engine_, "engine 0");
        return fake.connection;
    }

    template <bool Misplaced>
    static void releaseConnection(void* self, std::uint32_t connection) {
        record(self, Misplaced, owner(self).engine_, "engine 1 (" + std::to_string(connection) + ")");
    }

    template <bool Misplaced>
    static std::uint32_t attachUser(void* self, std::uint32_t connection) {
        FakeSteamClient& fake = owner(self);
        record(self, Misplaced, fake.engine_, "engine 3 (" + std::to_string(connection) + ")");
        return fake.user;
    }

    template <bool Misplaced>
    static void releaseUser(void* self, std::uint32_t connection, std::uint32_t user) {
        record(self, Misplaced, owner(self).engine_,
               "engine 6 (" + std::to_string(connection) + ", " + std::to_string(user) + ")");
    }

    template <bool Misplaced>
    static void* gameRequests(void* self, std::uint32_t user, std::uint32_t connection) {
        FakeSteamClient& fake = owner(self);
        record(self, Misplaced, fake.engine_,
               "engine 13 (" + std::to_string(user) + ", " + std::to_string(connection) + ")");
        return fake.requestsNull ? nullptr : &fake.requests_;
    }

    template <bool Misplaced>
    static void connectRequest(void* self, const char* address, const char* text) {
        record(self, Misplaced, owner(self).requests_,
               "requests 193 (" + std::string(address) + ", " + std::string(text) + ")");
    }

    static void unexpected(void* self) {
        FakeSteamClient& fake = owner(self);
        fake.note(std::string("unexpected ") + (self == &fake.engine_ ? "engine" : "requests") + " operation");
    }

    static void* createInterface(const char* version, int* code) {
        current->note(std::string("CreateInterface ") + version + (code ? " non-null" : " null"));
        return current->engineNull ? nullptr : &current->engine_;
    }

    template <bool Misplaced>
    static std::uintptr_t operation(FakeSteamClient::Interface which, std::size_t position) {
        if (which == FakeSteamClient::Interface::requests) {
            return position == 193 ? addressOf(&connectRequest<Misplaced>) : addressOf(&unexpected);
        }
        switch (position) {
            case 0:
                return addressOf(&openConnection<Misplaced>);
            case 1:
                return addressOf(&releaseConnection<Misplaced>);
            case 3:
                return addressOf(&attachUser<Misplaced>);
            case 6:
                return addressOf(&releaseUser<Misplaced>);
            case 13:
                return addressOf(&gameRequests<Misplaced>);
            default:
                return addressOf(&unexpected);
        }
    }
};

namespace {

class FakeModule final : public LoadedModule {
public:
    explicit FakeModule(FakeSteamClient& owner) : owner_(owner) {}
    ~FakeModule() override { owner_.note("free"); }

    std::uintptr_t address() const override { return FakeSteamClient::kLoadAddress; }

    std::uintptr_t exportAddress(const char* name) const override {
        owner_.note(std::string("export ") + name);
        if (owner_.factoryMissing || std::strcmp(name, "CreateInterface") != 0) return 0;
        return addressOf(&FakeSteamClientAccess::createInterface);
    }

private:
    FakeSteamClient& owner_;
};

}  // namespace

FakeSteamClient::FakeSteamClient()
    : engineTable_(14),
      requestsTable_(194),
      engine_{engineTable_.data(), this},
      requests_{requestsTable_.data(), this} {
    if (current != nullptr) throw std::logic_error("one FakeSteamClient at a time");
    current = this;
    for (std::size_t i = 0; i < engineTable_.size(); ++i) {
        engineTable_[i] = FakeSteamClientAccess::operation<false>(Interface::engine, i);
    }
    for (std::size_t i = 0; i < requestsTable_.size(); ++i) {
        requestsTable_[i] = FakeSteamClientAccess::operation<false>(Interface::requests, i);
    }
}

FakeSteamClient::~FakeSteamClient() {
    current = nullptr;
}

void FakeSteamClient::misplace(Interface which, std::size_t position) {
    auto& table = which == Interface::engine ? engineTable_ : requestsTable_;
    table.at(position) = FakeSteamClientAccess::operation<true>(which, position);
}

SteamClientPin FakeSteamClient::pin() {
    std::string bytes = content;
    bytes.append(static_cast<std::size_t>(zeroPadding), '\0');
    digest_ = sha256Hex(bytes);
    const auto offset = [](Interface which, std::size_t position) {
        return static_cast<std::uint64_t>(FakeSteamClientAccess::operation<false>(which, position) - kLoadAddress);
    };
    return SteamClientPin{digest_,
                          offset(Interface::engine, 0),
                          offset(Interface::engine, 1),
                          offset(Interface::engine, 3),
                          offset(Interface::engine, 6),
                          offset(Interface::engine, 13),
                          offset(Interface::requests, 193)};
}

std::unique_ptr<LockedFile> FakeSteamClient::open(const std::filesystem::path& path) {
    note("open");
    openedPath = path;
    if (openFails) return nullptr;
    return std::make_unique<FakeFile>(*this);
}

bool FakeSteamClient::set(const std::wstring& name, const std::wstring& value) {
    note("set " + toNarrow(name) + "=" + toNarrow(value));
    return name != refusedVariable;
}

std::unique_ptr<LoadedModule> FakeSteamClient::loadWithOwnFolder(const std::filesystem::path& path) {
    note("load");
    loadedPath = path;
    if (loadFails) return nullptr;
    return std::make_unique<FakeModule>(*this);
}

std::unique_ptr<LoadedModule> FakeSteamClient::loadFromSystem32(const std::wstring& fileName) {
    note("load from System32 " + toNarrow(fileName));
    return nullptr;
}

}  // namespace quorvel::testing
