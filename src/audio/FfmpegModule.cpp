// FFmpeg, with everything its libraries link (some 120 shared objects on Debian: video codecs, OpenCL,
// GnuTLS...), costs about 40 ms of CPU to load and relocate. The program needs it only for the first file
// that is not an MP3, so the FFmpeg decoder lives in a module beside the executable, loaded on that first
// call. A program without the module still plays MP3 and passes the other files over.
#include "AudioDecoder.h"
#include "AudioEngine.h"
#include "diagnosticLog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace {

using OpenFn = IAudioDecoder* (*)(int fd, int* error, int mode);

const char* const moduleName = "libsonabin_ffmpeg.so";

// Beside the executable: the installed layout (lib/sonabin/) and the build tree alike. Never from anywhere
// else: when the executable was replaced while running (a package upgrade), its path no longer resolves and
// nothing is loaded, rather than a module from the working folder.
OpenFn loadModule() {
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (exe.isEmpty()) {
        addLog(QStringLiteral("> FFmpeg module not loaded (the executable was replaced), only MP3 plays"));
        return nullptr;
    }
    const QString path = QFileInfo(exe).absolutePath() + QLatin1Char('/') + QLatin1String(moduleName);
    // RTLD_LOCAL: FFmpeg's symbols stay inside the module.
    void* handle = ::dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        addLogValue(QStringLiteral("> FFmpeg module not loaded, only MP3 plays"),
                    why ? QString::fromLocal8Bit(why) : path);
        return nullptr;
    }
    // A module from another build (an upgrade that replaced it under a running program) may disagree on
    // the decoder interface: it is not used.
    const auto* build = static_cast<const char*>(::dlsym(handle, "sonabinFfmpegModuleBuild"));
    if (!build || std::strcmp(build, SONABIN_DECODER_BUILD) != 0) {
        // Left loaded: unloading would also unload the libraries it pulled in, with what they set up.
        addLogValue(QStringLiteral("> FFmpeg module from another build, only MP3 plays"), path);
        return nullptr;
    }
    auto open = reinterpret_cast<OpenFn>(::dlsym(handle, "sonabinOpenFfmpegDecoder"));
    if (!open)
        addLogValue(QStringLiteral("> FFmpeg module without its entry"), path);
    return open;
}

} // namespace

std::unique_ptr<IAudioDecoder> openFfmpegDecoder(int fd, int& error, DecoderOpen mode) {
    static std::once_flag once;
    static OpenFn open = nullptr;
    std::call_once(once, [] { open = loadModule(); });
    if (!open) {
        ::close(fd); // the decoder owns the descriptor, also when there is none
        error = AudioError::Format;
        return nullptr;
    }
    error = AudioError::Ok;
    return std::unique_ptr<IAudioDecoder>(open(fd, &error, static_cast<int>(mode)));
}
