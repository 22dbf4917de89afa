// Unique names of work files in the installation's temporary folder.
#pragma once

#include <ctime>
#include <span>
#include <string_view>

// Makes a new file name in the temporary folder of `dirKey` (PdmIni_GetTmpDir; the
// converter passes 0) ending in `suffix` (".099"), and creates the file, empty, so that
// no other process can take the same name: the file now belongs to the caller, who
// fills it (a copy over it replaces it) and deletes it when done.
//  1. Up to 51 names "<folder>\<pseudo-random number in upper-case hex><suffix>" from
//     the standard library's generator, unseeded (std::rand; every process draws the same
//     sequence, so names a concurrent conversion holds are skipped);
//  2. then "<folder>\<time count in decimal><suffix>" (see TimeCountOf), tried again
//     after a pause of 1000 ms until one is free.
// A name is taken when it is created here, or when it cannot be created but does not
// exist either (say, the folder is missing): then no file is made, and the caller's
// own use of the name reports the failure, so a broken folder never stalls the loop.
// When the setting is missing the folder is empty and the names begin with "\".
// Returns 1 with the name in `out` (NUL-terminated); 0 only when a name does not fit
// `out` (folder + "" + up to 8 digits + suffix + NUL), `out` then holding an empty
// string (when it has a byte) and no file made.
int Tmp_MakeUniqueName(int dirKey, std::string_view suffix, std::span<char> out);

// The time count of the second kind of name for a local time: seconds + 60 x minutes +
// 3600 x hours + 86 400 x day of month + 2 678 400 x month (0-based), as if every month
// had 31 days.
long TimeCountOf(const std::tm& local);
