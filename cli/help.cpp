// tavrin --help: the whole text as it is printed, kept beside the README's and the manual page's copies.
#include "cli/help.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace tavrin::cli {

namespace {

// The synopsis and the table of outcomes are the README's and the manual page's, word for word: a
// test compares the three.
constexpr const char* kHelp = R"(Usage: tavrin [-v|--verbose] [--notes] [-f|--force] [-q|--quiet]
              [-r|--recursive] [-o|--output OUT] [-j|--jobs N] [--from WHEN]
              [--to WHEN] [--device LIST] [--tags] [--stats] [--state-at WHEN]...
              [--state-only] [--voices|--voices-only] [--voices-dir DIR] [--json]
              [--progress=auto|always|never] FILE...
       tavrin --midi|--roll [--roll-scale PX] [-f|--force] [-r|--recursive]
              [-o|--output OUT] [--from WHEN] [--to WHEN] [--device LIST] FILE...
       tavrin --check [-f|--force] [-r|--recursive] [-o|--output OUT] FILE...
       tavrin -h|--help
       tavrin --version

Turns S98 and VGM sound logs (VGM also gzip-compressed, .vgz; the format is told
by the content) into text reports. Each FILE's report is written beside it, with
the extension replaced by .txt (song.s98 gives song.txt). For each FILE two
lines are logged: its name, then "-> ok" or "-> " and the reason it failed. A
batch of more than one file ends with a summary: "38 files: 36 ok, 2 failed".
FILE "-" is standard input: its report goes to standard output unless -o is
given, and the log then goes to standard error.

Options:
  -v, --verbose         annotate every register write with what it does to the
                        chip
      --notes           like -v, and name the note and frequency of every write
                        that sets a pitch
  -f, --force           accept any S98 format version byte
  -q, --quiet           log only the files that failed, and the summary line
  -r, --recursive       for a FILE that is a folder, convert every file under it
                        whose name ends in .s98, .vgm or .vgz (any case), in
                        sorted order; symbolic links to folders are skipped
  -o, --output OUT      write the report of the one FILE to OUT instead of
                        beside it (- for standard output); with --check, the
                        listing of every FILE
  -j, --jobs N          convert up to N files at once, 1 to 1024 (default: the
                        number of cores); the log keeps the order of the FILEs
      --from WHEN       write only the dump lines of commands at or after WHEN
      --to WHEN         write only the dump lines of commands before WHEN
      --device LIST     write only the register writes of these devices,
                        numbered as the dump numbers them (--device 0,2 for #00
                        and #02); wait, loop and end lines stay
      --tags            add a section "[ S98 Tag ]" with the file's tag block
                        ("[ GD3 Tag ]" with the GD3 tag of a VGM file)
      --stats           add a section "[ Statistics ]" after the dump
      --state-at WHEN   add a section "[ Chip State at ... ]": every chip's
                        registers after all commands before WHEN (or loop, or
                        end); may be given several times
      --state-only      with --state-at: leave out the dump section
      --voices          add a section "[ Voices ]" after the dump: each distinct
                        FM voice keyed and where it is used
      --voices-only     the header sections and "[ Voices ]", no dump lines
      --voices-dir DIR  also write the voices as patch files into DIR: FILE.opm,
                        FILE.mml, FILE_OPN@N.tfi, FILE_OPL@N.sbi (FILE without
                        its extension: song.vgz gives song.opm)
      --json            write JSON Lines instead of the text report, beside FILE
                        as .jsonl (or to OUT)
      --check           write no report: list what a player may trip on, one
                        line per finding, on standard output (or in OUT)
      --midi            write no report: the notes as played as a Standard MIDI
                        File beside FILE as .mid (or to OUT)
      --roll            write no report: the notes as played as an SVG piano
                        roll beside FILE as .svg (or to OUT)
      --roll-scale PX   with --roll: pixels per second (default 50)
      --progress=auto|always|never
                        a progress line on standard error while the work takes
                        more than a second; auto (the default) draws it only
                        when standard error is a terminal
  -h, --help            print this help and exit
      --version         print the version and exit

WHEN is a time in seconds of the file's own timer (83.5, 1:23.456 or
0:01:23.456), a tick count (1200t) or a file offset (0x1a2b). A command's time
and tick count are those of the waits before it.

Outcomes (the line after each file's name):
  -> ok
        the report was written
  -> File open error.
        the input cannot be opened as a file (missing, unreadable, a folder, a
        pipe that no program writes to within a second)
  -> File read error.
        the file is shorter than its 32-byte head, its device records are cut
        short, or it could not be read to its end
  -> This is not S98 format.
        the file does not start with S98 (nor is it a VGM or gzip file)
  -> This is not VGM format.
        a gzip-compressed file that does not inflate to a VGM file
  -> VGM header is cut short.
        a VGM file shorter than its 64-byte head
  -> S98 version error.
        the version byte is above 3 (use -f to convert it anyway)
  -> Too many devices.
        the head announces more than 64 device records
  -> Input and output are the same file.
        the report would overwrite its own input (an input named *.txt)
  -> Time range needs a positive timer.
        --from or --to gives a time, and the file's timer numerator or
        denominator is not positive
  -> Report clashes with another file of this batch.
        another FILE of the same run has the same report (the first is
        converted, the later ones refused), or this file's report would be
        another FILE of the run
  -> File open error(out).
        the report cannot be created (a folder in its place, a missing folder,
        a name too long, an existing report that may not be written, a pipe
        that no program reads within a second)
  -> File write error.
        writing the report failed (disk full, ...)
  -> Report written but not put in place: REASON.
        the whole report was written but could not be renamed over its place
        (a sticky folder where the old report belongs to another user:
        Operation not permitted.); the old report stays

Control characters in names are shown escaped (\n, \r, \t, \xHH, \\) in the
log and in --check listings. A name that starts with - is read as an option:
write it as ./-name.s98 or after --.

Exit status: 0 when every file converted (with --check: when no file has a
finding), 1 when any failed or the log could not be written, 2 for a usage
error.

Examples:
  tavrin -v song.s98                  song.txt, every register write annotated
  tavrin -v --from 1:20 --to 1:25 --device 1 song.s98
                                      only device #01, from 1:20 up to 1:25
  tavrin -r -q music                  every S98 and VGM file under music,
                                      failures only
  tavrin --midi --roll song.vgz       song.mid and song.svg, the notes as played
  cat song.s98 | tavrin --stats - | less
)";

// CLI11 builds its help from the options; this one is written as a person would read it.
class WrittenHelp final : public CLI::FormatterBase {
 public:
  std::string make_help(const CLI::App* /*app*/, std::string /*name*/,
                        CLI::AppFormatMode /*mode*/) const override {
    return kHelp;
  }
};

}  // namespace

const char* HelpText() { return kHelp; }

void UseWrittenHelp(CLI::App& app) { app.formatter(std::make_shared<WrittenHelp>()); }

}  // namespace tavrin::cli
