#include "tool/cli/help_texts.hpp"

namespace quorvel::tool {
namespace {

const char kToolHelp[] =
    "usage: quorvel COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  pack     make a self-extracting file (quorvel pack --help)\n"
    "  list     show what a self-extracting file holds (quorvel list --help)\n"
    "  test     check that a self-extracting file is intact (quorvel test --help)\n"
    "  extract  unpack a self-extracting file without running it (quorvel extract --help)\n"
    "\n"
    "  --help     this text\n"
    "  --version  the tool's version\n"
    "\n"
    "exit codes: 0 done, 1 failed (damaged archive, wrong password, a file not written),\n"
    "2 wrong command line or unreadable file\n";

const char kPackHelp[] =
    "usage: quorvel pack [options] -o OUTPUT PATH...\n"
    "\n"
    "Makes OUTPUT, a self-extracting file: an Expander followed by an archive of the given\n"
    "files and folders (folders are walked recursively). Stored names are relative to each\n"
    "PATH's parent folder. Links to files are stored as files; links to folders (unless -L),\n"
    "links that lead nowhere and special files are skipped. OUTPUT may not be one of the\n"
    "inputs nor lie inside an input folder.\n"
    "\n"
    "Every input is looked at before anything is written. One that cannot be stored is\n"
    "left out with a warning saying why, the archive is made from the rest and the exit\n"
    "code is 1 (with --strict nothing is written). Left out are inputs that cannot be read,\n"
    "files of 2^31 bytes or more, and names that are no valid UTF-8, hold a character the\n"
    "code page lacks (the warning names the code pages that hold it), are longer than 259\n"
    "bytes as stored, or that every Expander refuses, whatever the options: a name that\n"
    "holds a colon, begins with a backslash, or has a part of periods and blanks only with\n"
    "two periods or more (\"..\", \". .\"). The whole self-extracting file stays below 2^31\n"
    "bytes (2 GiB): the pack stops and leaves nothing when it would reach that. So it does\n"
    "when a file of 8 MB or more, which is read as it is compressed, is cut short meanwhile.\n"
    "\n"
    "options:\n"
    "  -o OUTPUT              the self-extracting file to write\n"
    "  -C DIR                 take PATHs relative to DIR and store them as given\n"
    "  --stub windows|native|FILE\n"
    "                         the Expander in front: the Windows one, the native Linux\n"
    "                         one, or a FILE of 20480 bytes that is a Windows or a Linux\n"
    "                         x86_64 program; without --stub an OUTPUT ending in .exe (any\n"
    "                         case) gets the Windows one, any other name the native one,\n"
    "                         and a terminal is told which\n"
    "  --comment TEXT         shown when the file is run\n"
    "  --comment-file FILE    the comment from a file\n"
    "  --run COMMAND          the document or program to open after extraction\n"
    "  --password             scramble with a password: QUORVEL_PASSWORD, else asked on the\n"
    "                         terminal\n"
    "  --password-file FILE   scramble with the first line of FILE\n"
    "  --codepage N           the code page of the Expander's users: 932, 936, 949, 950 or\n"
    "                         1252 (default); names, comment and command are converted\n"
    "  --allow-unportable-names\n"
    "                         for the Windows Expander, only warn about names that Windows\n"
    "                         cannot create as stored (names equal but for letter case, CON,\n"
    "                         AUX.TXT, <>\"|?* and control characters, a final period or\n"
    "                         blank) instead of refusing them\n"
    "  --strict               an input that cannot be stored is an error: nothing is written\n"
    "  -1 .. -9               compression effort: -1 fastest, -9 smallest (default -6);\n"
    "                         from -4 on, each literal and match is chosen by its cost in bits\n"
    "  --threads N            compress N files at once (default: one per core available);\n"
    "                         with 2 or more, a file of 1 MB or more is also parsed on two\n"
    "                         threads, one ahead of the other; the archive is the same\n"
    "                         whatever N\n"
    "  -L                     follow links to folders inside the PATHs too (a link back to\n"
    "                         a folder it lies in is skipped with a warning)\n"
    "  -v                     name each link and special file skipped, instead of one line\n"
    "                         that counts them\n"
    "  -q                     no progress line, and no line about the Expander chosen or the\n"
    "                         password taken from QUORVEL_PASSWORD\n"
    "  --help                 this text\n";

// The options list, test and extract share.
const char kReadOptions[] =
    "  --codepage N           the code page the archive's names are stored in: 932, 936,\n"
    "                         949, 950 or 1252, as given to quorvel pack; without it, it\n"
    "                         is guessed from the names and a note says which\n"
    "  --password-file FILE   the password of a scrambled archive, the first line of FILE;\n"
    "                         else QUORVEL_PASSWORD, else asked on the terminal\n";

const char kListHelp[] =
    "usage: quorvel list [options] ARCHIVE\n"
    "\n"
    "Shows which Expander stands in front of ARCHIVE, its size, comment, run command and\n"
    "whether it is scrambled, then each entry: kind, size, stored bytes, ratio, the earlier\n"
    "file it starts from (back N, shared prefix P), last-write time (UTC) and name (UTF-8,\n"
    "'/' between parts), then totals. The data is decoded to find what each entry takes.\n"
    "A file without an Expander and an archive behind its first 20480 bytes is \"not a\n"
    "self-extracting file\" (exit code 1).\n"
    "\n"
    "options:\n"
    "  --json                 one JSON document instead, on every path; its schema is\n"
    "                         doc/list.schema.json, described in the README\n";

const char kTestHelp[] =
    "usage: quorvel test [options] ARCHIVE\n"
    "\n"
    "Reads and decodes everything in ARCHIVE and writes nothing. Exit code 0 when it is\n"
    "intact; 1 when it is damaged, cut short or the password is wrong (the first problem\n"
    "is named with its entry, block and offset) or a name could reach outside the folder\n"
    "extracted into, or it is not a self-extracting file; 2 for a wrong command line or an\n"
    "unreadable file. For the Windows Expander, names that Windows cannot create are warned\n"
    "about.\n"
    "\n"
    "options:\n"
    "  -q                     no progress line, nothing on standard output when intact\n";

const char kExtractHelp[] =
    "usage: quorvel extract [options] ARCHIVE [PATTERN...]\n"
    "\n"
    "Writes the entries of ARCHIVE whose names match a PATTERN (all when none is given)\n"
    "under DIR, without running anything: the run command is only shown. Patterns are\n"
    "shell wildcards (* ? [...]) matched against the whole name as list shows it\n"
    "('/' between parts); a folder's name matches everything inside it. Nothing is written\n"
    "outside DIR: names that could reach outside are refused, and links already in DIR are\n"
    "never followed. A file appears under its name only when it is complete, with its\n"
    "times set. A failure that concerns one entry is told and the next entry goes on; one\n"
    "that would repeat for every entry (no space, quota, a read-only file system, a file\n"
    "size limit, DIR not writable) stops the extraction at once, with nothing of the\n"
    "failed file left.\n"
    "\n"
    "options:\n"
    "  -d DIR                 the folder to write into (default: the current folder)\n"
    "  --overwrite=ask|always|never|rename\n"
    "                         what to do with a file that exists: ask (the default on a\n"
    "                         terminal; answers y, n, a, o, r or the words, in any case),\n"
    "                         replace it, keep it (the default otherwise), or write under\n"
    "                         a free name like \"name (1).ext\"\n"
    "  -y                     --overwrite=always\n"
    "  -n                     --overwrite=never\n"
    "  -q                     no progress bar and no summary\n";

const char kHelpOption[] = "  --help                 this text\n";

}  // namespace

std::string HelpText(std::string_view command) {
    if (command == "pack") return kPackHelp;
    if (command == "list") return std::string(kListHelp) + kReadOptions + kHelpOption;
    if (command == "test") return std::string(kTestHelp) + kReadOptions + kHelpOption;
    if (command == "extract") return std::string(kExtractHelp) + kReadOptions + kHelpOption;
    return kToolHelp;
}

}  // namespace quorvel::tool
