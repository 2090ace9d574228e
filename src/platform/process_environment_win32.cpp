#include "platform/process_environment_win32.hpp"

#include <windows.h>

namespace quorvel {

bool Win32ProcessEnvironment::set(const std::wstring& name, const std::wstring& value) {
    return SetEnvironmentVariableW(name.c_str(), value.c_str()) != FALSE;
}

}  // namespace quorvel
