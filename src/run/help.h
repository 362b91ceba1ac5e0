// The banner, the short and full help screens, the notifications and the valid-option list.
#pragma once

// The banner: version, backend and a description, between two lines of '*'.
void quib_put_info(const char* path);

// The short help: usage, the main options and examples.
void quib_search_refine_defocus_help(const char* path);

// The long option list: every listed option with its default and meaning.
void quib_search_refine_defocus_help_more(const char* path);

// The full help: the long option list, all tips, the notifications and the banner.
void quib_search_refine_defocus_help_full(const char* path);

// Notices about changes in behaviour; currently there are none.
void quib_put_all_notification();

// A line of n copies of c.
void quib_put_rule(char c, int n);

// A line of 130 '-', "All valid options:", every listed option, and a line of 128 '-'.
void quib_print_valid_options();
