// The program's version and release date, shown in the banner and in every log.
#pragma once

constexpr const char* QUIB_VERSION = "v0.1.0";
constexpr const char* QUIB_DATE = "2026-12-08";
