// libFuzzer target: the bytes choose a run of the rich-text component's commands (every action of its
// command list, keys, pastes, formats, undo and redo, zoom, scrolling, resizing, header and footer
// items, save, load and print), one byte for each choice. After every command the window must equal a
// fresh layout and repaint, a second layout the first, and a save its reload; a difference aborts.
#include "FuzzSupport.h"
#include "../tests/richtext/RtCommandRun.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    FuzzStartApplication();
    auto rtf = std::make_unique<TRtRichText>();
    rtf->resize(400, 320);
    rtf->show();
    size_t next = 0;
    {
        TRtCommandRun run(*rtf, [&](uint32_t N) { return next < Size ? uint32_t(Data[next++]) % N : 0u; });
        run.Load();
        std::string done;
        while (next < Size) {
            done += " " + run.Step() + ",";
            if (const std::string d = run.Check(); !d.empty()) {
                std::fprintf(stderr, "after%s:%s\n", done.c_str(), d.c_str());
                std::abort();
            }
        }
    }
    rtf.reset();
    QApplication::processEvents();
    return 0;
}
