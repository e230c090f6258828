#pragma once
// String-table ids of the build (res/strings/build.strings).

#include "res/text/StringIds.h"

namespace core {

constexpr unsigned IDS_BUILD_OUTPUT_DIR_FAILED = 4003;
constexpr unsigned IDS_BUILD_TEMP_DIR_INVALID = 4004;
constexpr unsigned IDS_BUILD_TEMP_DIR_FAILED = 4005;
constexpr unsigned IDS_BUILD_COMPILER_DIR_MISSING = 4006;
constexpr unsigned IDS_BUILD_PIPE_FAILED = 4053;
constexpr unsigned IDS_BUILD_BANNER = 4303;
constexpr unsigned IDS_BUILD_SAVE_FAILED = 4304;
constexpr unsigned IDS_BUILD_OUTPUT_DIR_INVALID = 4305;
constexpr unsigned IDS_BUILD_RUN_COMPILER = 4306;
constexpr unsigned IDS_BUILD_RUN_BATCH = 4307;
constexpr unsigned IDS_BUILD_SUCCEEDED = 4308;
constexpr unsigned IDS_BUILD_FAILED = 4309;
constexpr unsigned IDS_BUILD_CHECKING = 4310;
constexpr unsigned IDS_BUILD_UP_TO_DATE = 4311;
constexpr unsigned IDS_CLEAN_TEMP_INVALID = 4312;
constexpr unsigned IDS_CLEAN_OUTPUT_INVALID = 4313;
constexpr unsigned IDS_CLEAN_ASK = 4314;
constexpr unsigned IDS_CLEAN_DELETE_FAILED = 4315;
constexpr unsigned IDS_MAKE_HEADER_FIRST = 4336; // 4336 .. 4343
constexpr unsigned IDS_MAKE_CREATE_FAILED = 4387;
constexpr unsigned IDS_BUILD_HELPER_MISSING = 4388;
constexpr unsigned IDS_BUILD_COMMAND_FAILED = 4389;
constexpr unsigned IDS_BUILD_NO_QUIT = 4390;
constexpr unsigned IDS_BUILD_CANCELLED = 4396;
constexpr unsigned IDS_MAKE_DEBUG = 4443;
constexpr unsigned IDS_MAKE_CONFIG = 4452;
constexpr unsigned IDS_MAKE_TARGET = 4453;
constexpr unsigned IDS_MAKE_NO_SOURCE = 4461;
constexpr unsigned IDS_MAKE_PATH_NOT_ANSI = 4462;
constexpr unsigned IDS_MAKE_NAME_BLANKS = 5010;
constexpr unsigned IDS_BUILD_BATCH_NOT_FILE = 4955;

} // namespace core
