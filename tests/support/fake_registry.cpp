#include "support/fake_registry.hpp"

namespace quorvel::testing {
namespace {

class FakeRegistryKey final : public RegistryKey {
public:
    FakeRegistryKey(FakeRegistry& registry, std::wstring key) : registry_(registry), key_(std::move(key)) {
        ++registry_.openKeys;
    }
    ~FakeRegistryKey() override {
        --registry_.openKeys;
        registry_.events.push_back(L"close " + key_);
    }

    bool setString(const std::wstring& name, const std::wstring& data) override {
        if (registry_.beforeEachWrite) registry_.beforeEachWrite();
        registry_.events.push_back(L"set " + key_ + L"|" + name);
        if (registry_.refusedValues.count({key_, name})) return false;
        registry_.values[key_][name] = data;
        registry_.dwords[key_].erase(name);  // a value has one type: the new one
        return true;
    }

    bool setDword(const std::wstring& name, std::uint32_t data) override {
        if (registry_.beforeEachWrite) registry_.beforeEachWrite();
        registry_.events.push_back(L"set " + key_ + L"|" + name);
        if (registry_.refusedValues.count({key_, name})) return false;
        registry_.dwords[key_][name] = data;
        registry_.values[key_].erase(name);
        return true;
    }

private:
    FakeRegistry& registry_;
    std::wstring key_;
};

template <typename Value>
const Value* find(const std::map<std::wstring, std::map<std::wstring, Value>>& keys, const std::wstring& subKey,
                  const std::wstring& name) {
    const auto key = keys.find(subKey);
    if (key == keys.end()) return nullptr;
    const auto value = key->second.find(name);
    return value == key->second.end() ? nullptr : &value->second;
}

}  // namespace

std::optional<std::wstring> FakeRegistry::readString(const std::wstring& subKey, const std::wstring& name,
                                                     std::uint32_t maxBytes) const {
    const std::wstring* value = find(values, subKey, name);
    // The registry keeps strings in UTF-16, two bytes a character whatever this build's wchar_t.
    if (value == nullptr || (value->size() + 1) * 2 > maxBytes) return std::nullopt;
    return value->substr(0, value->find(L'\0'));
}

std::optional<std::uint32_t> FakeRegistry::readDword(const std::wstring& subKey, const std::wstring& name) const {
    const std::uint32_t* value = find(dwords, subKey, name);
    if (value == nullptr) return std::nullopt;
    return *value;
}

std::unique_ptr<RegistryKey> FakeRegistry::createKey(const std::wstring& subKey) {
    if (beforeEachWrite) beforeEachWrite();
    events.push_back(L"create " + subKey);
    if (refusedKeys.count(subKey)) return nullptr;
    return std::make_unique<FakeRegistryKey>(*this, subKey);
}

bool FakeRegistry::deleteTree(const std::wstring& subKey) {
    if (beforeEachWrite) beforeEachWrite();
    events.push_back(L"delete " + subKey);
    if (subKey.empty() || refusedDeletes.count(subKey)) return false;
    const auto below = [&](const std::wstring& key) {
        return key == subKey || key.rfind(subKey + L"\\", 0) == 0;
    };
    std::erase_if(values, [&](const auto& entry) { return below(entry.first); });
    std::erase_if(dwords, [&](const auto& entry) { return below(entry.first); });
    return true;
}

}  // namespace quorvel::testing
