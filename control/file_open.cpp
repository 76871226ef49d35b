#include "control/file_open.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "app/display.h"
#include "control/player_state.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"

char chosenPath[PATH_CHARS];
char lastDirectory[PATH_CHARS];

namespace {

// Two description/pattern pairs; the literal's own terminator is the block's final NUL.
constexpr char kFilter[] = "Wave Files\0*.wav\0All Files\0*.*\0";
constexpr char kDocuments[] = "My Documents";

// The first start: "My Documents" under the Windows directory, with one backslash between.
// A directory that does not fit leaves lastDirectory empty, so the dialog starts where it
// would by itself.
void ComposeDocumentsDirectory(Dialog& dialog) {
    char windows[PATH_CHARS] = {};
    const uint32_t length = dialog.QueryWindowsDirectory(windows, PATH_CHARS);
    if (length == 0 || length >= PATH_CHARS)
        return;
    const bool slash = windows[length - 1] == '\\';
    if (length + (slash ? 0 : 1) + sizeof kDocuments > PATH_CHARS)
        return;
    std::strcpy(lastDirectory, windows);
    if (!slash)
        std::strcat(lastDirectory, "\\");
    std::strcat(lastDirectory, kDocuments);
}

// The next dialog starts in the directory of the file just chosen. A path without any
// backslash names no directory; the last one is kept then.
void RememberDirectory() {
    const char* slash = std::strrchr(chosenPath, '\\');
    if (slash == nullptr)
        return;
    const size_t length = static_cast<size_t>(slash - chosenPath);
    std::memcpy(lastDirectory, chosenPath, length);
    lastDirectory[length] = '\0';
}

}  // namespace

void OpenSoundFile(Dialog& dialog) {
    const OpenFileRequest request{kFilter,
                                  1,
                                  chosenPath,
                                  PATH_CHARS,
                                  lastDirectory,
                                  "Open Sound File",
                                  OPEN_FILE_MUST_EXIST | OPEN_HIDE_READONLY,
                                  ".wav"};
    if (lastDirectory[0] == '\0')
        ComposeDocumentsDirectory(dialog);
    StopPlayback();
    dialog.EnableItem(IDC_PLAY, false);
    dialog.EnableItem(IDC_STOP, false);
    SetStatusText(dialog, "Loading file...");
    // A dialog that fails may have written into the buffer (the size it needed, when the
    // path was too long); the next one must still start from the path chosen last.
    char previous[PATH_CHARS];
    std::memcpy(previous, chosenPath, PATH_CHARS);
    if (!dialog.ChooseOpenFile(request)) {
        std::memcpy(chosenPath, previous, PATH_CHARS);
        SetStatusText(dialog, "Load aborted.");
        return;
    }
    chosenPath[PATH_CHARS - 1] = '\0';
    SetTitleFile(dialog, "");
    LoadWaveFile(dialog, chosenPath);
    PlayerState.dataLength = GetDataLength();
    RememberDirectory();
}

void LoadWaveFile(Dialog& dialog, const char* path) {
    SoundOutput.reader.reset();
    SoundOutput.reader.reset(new (std::nothrow) WaveFileReader());
    if (!SoundOutput.reader || SoundOutput.reader->Open(path) < 0) {
        SetStatusText(dialog, "Bad wave file.");
        return;
    }
    EnableTransport(dialog, 1);
    SetTitleFile(dialog, path);
    SetStatusText(dialog, "File loaded.");
    // The slider keeps its thumb in its range; a rate beyond 32 bits signed still belongs
    // at the top end.
    const uint32_t rate = SoundOutput.reader->GetFormat()->nSamplesPerSec;
    SetParameterSliders(dialog, rate > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rate), 0, 0, 0);
}
