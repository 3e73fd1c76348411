#include "platform/libav.h"

#include "zpvlogging.h"

#include <QLibrary>

extern "C" {
#include <libavutil/version.h>
}

const LibAv *LibAv::instance()
{
    static LibAv libav;
    static const bool loaded = libav.load();
    return loaded ? &libav : nullptr;
}

bool LibAv::load()
{
    // The major versions of the headers built with: another would differ in
    // the structures read here. A library stays loaded when its QLibrary
    // goes, for the life of the process.
    QLibrary libraries[] = {
        QLibrary(QStringLiteral("avformat"), LIBAVFORMAT_VERSION_MAJOR),
        QLibrary(QStringLiteral("avcodec"), LIBAVCODEC_VERSION_MAJOR),
        QLibrary(QStringLiteral("avutil"), LIBAVUTIL_VERSION_MAJOR),
        QLibrary(QStringLiteral("swscale"), LIBSWSCALE_VERSION_MAJOR),
    };
    bool complete = true;
    for (QLibrary &library : libraries) {
        if (!library.load()) {
            qCWarning(lcPlatform, "LibAv - cannot load %s: %s", qUtf8Printable(library.fileName()),
                qUtf8Printable(library.errorString()));
            complete = false;
        }
    }
    const auto resolve = [&](auto &function, const char *name) {
        for (QLibrary &library : libraries) {
            if (QFunctionPointer found = library.isLoaded() ? library.resolve(name) : nullptr) {
                function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(found);
                return;
            }
        }
        qCWarning(lcPlatform, "LibAv - no function %s", name);
        complete = false;
    };
#define ZPV_LIBAV_RESOLVE(name) resolve(name, #name);
    ZPV_LIBAV_FUNCTIONS(ZPV_LIBAV_RESOLVE)
#undef ZPV_LIBAV_RESOLVE
    return complete;
}
