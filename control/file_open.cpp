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

// The first start: the platform's first folder (Windows: "My Documents" under the Windows
// directory), with one separator between directory and folder. A directory that does not
// fit leaves lastDirectory empty, so the dialog starts where it would by itself.
void ComposeDocumentsDirectory(Dialog& dialog) {
    char parent[PATH_CHARS] = {};
    const uint32_t length = dialog.QueryFirstFolderParent(parent, PATH_CHARS);
    if (length == 0 || length >= PATH_CHARS)
        return;
    const char separator[2] = {dialog.PathSeparator(), '\0'};
    const char* name = dialog.FirstFolderName();
    const bool join = name[0] != '\0';
    const bool ends = parent[length - 1] == separator[0];
    if (length + (join && !ends ? 1 : 0) + std::strlen(name) + 1 > PATH_CHARS)
        return;
    std::strcpy(lastDirectory, parent);
    if (join && !ends)
        std::strcat(lastDirectory, separator);
    std::strcat(lastDirectory, name);
}

// The next dialog starts in the directory of the file just chosen. A path without any
// separator names no directory; the last one is kept then. A file in the root of a
// POSIX path keeps the root itself, not an empty directory.
void RememberDirectory(char separator) {
    const char* cut = std::strrchr(chosenPath, separator);
    if (cut == nullptr)
        return;
    const size_t length = cut == chosenPath ? 1 : static_cast<size_t>(cut - chosenPath);
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
    RememberDirectory(dialog.PathSeparator());
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
