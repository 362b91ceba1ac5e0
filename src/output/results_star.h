// The run's CTF STAR file, written so that no finished result is lost: the file is locked against
// a second run, an earlier file is left as it is until this run has a row to write, a resumed run
// keeps the earlier rows of the micrographs it does not process again, and every write is
// checked and flushed to the disk.
#pragma once

#include <string>
#include <vector>

#include "core/file_ptr.h"

struct ResultsStar {
  std::string path;
  FileDescriptor fd;
  bool regular = false;  // a regular file (not, say, a device): it can be read back and cut
  bool created = false;  // the file did not exist before this run
  bool started = false;  // this run has written into the file
  std::string earlier;   // the file's content when it was opened
  std::string start;     // what the file holds before this run's first row: header and kept rows
};

enum class ResultsStarOpen { Ok, CannotOpen, Locked };

// Opens the file at path, creating it when it is missing but never cutting it, takes an exclusive
// advisory lock on it and reads what it holds.
ResultsStarOpen open_results_star(ResultsStar& star, const char* path);

// The complete rows (each with its line break) of the earlier table in the file, when its header
// is head; a torn last line is no result and is left out. False when the file holds another table.
bool read_earlier_rows(const ResultsStar& star, const std::string& head, std::vector<std::string>& rows);

// The micrograph that a row names.
std::string row_micrograph(const std::string& row);

// Sets what the file will hold when this run writes its first row: head and the kept rows.
void start_results_table(ResultsStar& star, const std::string& head, const std::vector<std::string>& kept);

// Appends one row (a complete line); the first row first replaces the earlier file by the header
// and the kept rows. False when the file could not be written.
bool append_results_row(ResultsStar& star, const std::string& row);

// Ends the table with an empty line when this run wrote into it, and closes the file; a file this
// run created but never wrote into is removed. False when writing or closing failed.
bool close_results_star(ResultsStar& star);
