// Stovik: the drawing analyser. The converter starts it on its working copy of a
// drawing; a maintainer may run it on any drawing.
//
//   Stovik.EXE DRAWING      DRAWING: the Windows path of the drawing (short or long
//                           form; quoted or not, see CommandLine.h)
//
// The findings go to the debug monitor (\\.\PIPE\DBGPRT\PDMMON) as log lines; when
// no monitor listens they are dropped. Exit code: 0 sound, 1 problems found, 2 the
// drawing cannot be opened or read, or the command line names no drawing. The
// drawing is only read. See docs/stovik.md.
#include <cstddef>
#include <string>

#include "CommandLine.h"
#include "DrawingCheck.h"
#include "MonitorLog.h"
#include "ProblemLog.h"
#include "platform/CommandLine.h"

int main(int argc, char** argv) {
    stovik::ProblemLog log(ambrel::SendMonitorLine);
    // The command line as the starter wrote it (code page 932), so the path arrives
    // exactly as given.
    std::string path;
    std::size_t arguments = 0;
    if (!stovik::DrawingPathOf(platform::GetCommandLineW(argc, argv), path, arguments)) {
        log.Note(stovik::Format("Stovik: パラメータ不正 引数[%d]\n", static_cast<int>(arguments)));
        return stovik::kExitCannotRead;
    }
    return stovik::AnalyseDrawing(path, log);
}
