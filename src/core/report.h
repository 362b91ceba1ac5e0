// The program's error and warning lines. Every message goes to standard output; a fatal error
// ends the process with status 1 after its line.
#pragma once

[[noreturn]] void quib_fatal(const char* function, const char* unit, int line, const char* text);
void quib_warning(const char* function, const char* unit, int line, const char* text);

// "Cannot open file ..." / "Cannot write to file ..." followed by the fatal line "open file failed."
[[noreturn]] void quib_fatal_cannot_read(const char* path, const char* function, const char* unit, int line);
[[noreturn]] void quib_fatal_cannot_write(const char* path, const char* function, const char* unit, int line);

// "Writing to file ... failed" with the system's reason, then the fatal line: a result file that was
// opened but could not be written (a full disk) ends the run.
[[noreturn]] void quib_fatal_write_failed(const char* path, const char* function, const char* unit, int line);

#define QUIB_FATAL(unit, text) quib_fatal(__func__, unit, __LINE__, text)
#define QUIB_WARNING(unit, text) quib_warning(__func__, unit, __LINE__, text)
#define QUIB_FATAL_CANNOT_READ(unit, path) quib_fatal_cannot_read(path, __func__, unit, __LINE__)
#define QUIB_FATAL_CANNOT_WRITE(unit, path) quib_fatal_cannot_write(path, __func__, unit, __LINE__)
#define QUIB_FATAL_WRITE_FAILED(unit, path) quib_fatal_write_failed(path, __func__, unit, __LINE__)
