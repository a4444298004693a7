// Text beyond ASCII through the shipped kvel and the stand-in shell, in every
// place a user types a name or value.
#include "tests/support/text_samples.h"

namespace {

using namespace testsupport;

// Words beginning with the text, environment values and a ZEK_DATADIR entry.
const char kOpts[] =
    "-testplusarg @ -testplusarg V=$TEXT_VALUE\n"
    "-tclbatch \"t @.tcl\" -tclbatch ${TEXT_VALUE}.tcl -tclbatch $ZEK_DATADIR/b_@.tcl\n";
const TextRow kCommandFile = {
    "CommandFile", KVEL_BIN, {{"o_@.f", kOpts}, {"dd_@/b_@.tcl", ""}}, {"top", "-f", "o_@.f"},
    {"top", "-testplusarg", "@", "-testplusarg", "V=@", "-autoloadwcfg", "-tclbatch", "t @.tcl",
     "-tclbatch", "@.tcl", "-tclbatch", "dd_@/b_@.tcl"},
    {}, {{"TEXT_VALUE", "@"}, {"ZEK_DATADIR", "none_@;dd_@"}}};

TextRow encodedAs(const char* name, Encoding encoding) {
  TextRow row = kCommandFile;
  row.name = name;
  row.encoding = encoding;
  return row;
}

// The same through kvel without the UTF-8 manifest, in the ANSI code page.
TextRow inAnsiProgram(TextRow row, const char* name) {
  row.name = name;
  row.program = KVEL_ANSI_BIN;
  row.ansi = true;
  return row;
}

const TextRow kRows[] = {
    {"SnapshotAndLog", KVEL_BIN, {{"kvel.dir/s_@/kvelk.exe", ""}}, {"s_@", "-log", "l @.log"},
     {"s_@", "-autoloadwcfg"}, {{"kvel.dir/s_@/kvel_script.tcl", ""}, {"l @.log", ""}}, {}, "",
     kUtf8, true},
    {"WaveformDatabase", KVEL_BIN, {{"w @.wdb", ""}}, {"w @.wdb", "-wdb", "d@.wdb"},
     {"w @.wdb", "-wdb", "d@.wdb", "-autoloadwcfg"}, {{"kvel.dir/w @.wdb/kvel_script.tcl", ""}},
     {}, "", kUtf8, false},
    {"FolderBatchAndView", KVEL_BIN, {{"w_@/kvel.dir/top/kvelk.exe", ""}},
     {"top", "-tclbatch", "@{.tcl", "-view", "@.wcfg"},
     {"top", "-view", "{@.wcfg}", "-tclbatch", "@{.tcl"},
     {{"w_@/kvel.dir/top/kvel_script.tcl", ""}, {"w_@/kvel.log", ""}}, {}, "w_@"},
    kCommandFile,
    encodedAs("CommandFileUtf8WithMark", kUtf8Mark),
    encodedAs("CommandFileUtf16LittleEndian", kUtf16Le),
    encodedAs("CommandFileUtf16BigEndian", kUtf16Be),
    // Saved in the ANSI code page, as before the manifest: read in it.
    encodedAs("CommandFileAnsiCodePage", kAnsi),
    // Without the manifest: a value whose text ends in a backslash, or in a
    // character whose second byte is one, is passed on whole.
    {"AnsiSnapshotLogAndBatch", KVEL_ANSI_BIN, {{"kvel.dir/s_@/kvelk.exe", ""}},
     {"s_@", "-log", "l @.log", "-tclbatch", "b_@", "-tclbatch", "d_@\\"},
     {"s_@", "-autoloadwcfg", "-tclbatch", "b_@", "-tclbatch", "d_@\\"},
     {{"kvel.dir/s_@/kvel_script.tcl", ""}, {"l @.log", ""}}, {}, "", kUtf8, true, "", true},
    inAnsiProgram(kCommandFile, "AnsiCommandFile"),
    inAnsiProgram(encodedAs("", kAnsi), "AnsiCommandFileAnsiCodePage"),
    inAnsiProgram(encodedAs("", kUtf16Le), "AnsiCommandFileUtf16"),
    // A referenced value the code page cannot hold is refused, not changed.
    {"AnsiReferencedValue", KVEL_ANSI_BIN,
     {{"o.f", "-testplusarg V=$TEXT_VALUE\n-testplusarg W=${TEXT_VALUE}/x\n"}}, {"top", "-f", "o.f"},
     {"top", "-testplusarg", "V=@", "-testplusarg", "W=@/x", "-autoloadwcfg"}, {},
     {{"TEXT_VALUE", "@"}}, "", kUtf8, false, "", true},
};

INSTANTIATE_TEST_SUITE_P(Kvel, TextMatrix,
                         ::testing::Combine(::testing::ValuesIn(kRows),
                                            ::testing::ValuesIn(textSamples())),
                         textRowName);

}  // namespace
