#pragma once

#include "app/run.hpp"

namespace quorvel {

// The process command line split by CommandLineToArgvW; fails with "无法读取进程参数".
Arguments processArguments();

}  // namespace quorvel
