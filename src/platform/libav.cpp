#include "platform/libav.h"

#include "zpvlogging.h"

#include <QLibrary>

extern "C" {
#include <libavutil/version.h>
}

namespace {

// Loaded for good: the functions stay in use for the life of the process.
QLibrary *openLibrary(const char *name, int major)
{
    auto *library = new QLibrary(QString::fromLatin1(name), major);
    if (library->load())
        return library;
    qCWarning(
        lcPlatform, "LibAv - cannot load %s: %s", name, qUtf8Printable(library->errorString()));
    delete library;
    return nullptr;
}

} // namespace

const LibAv *LibAv::instance()
{
    static const LibAv *const loaded = [] {
        auto *libav = new LibAv;
        if (libav->load())
            return const_cast<const LibAv *>(libav);
        delete libav;
        return static_cast<const LibAv *>(nullptr);
    }();
    return loaded;
}

bool LibAv::load()
{
    // The major versions of the headers built with: another would differ in
    // the structures read here.
    QLibrary *const libraries[] = {
        openLibrary("avformat", LIBAVFORMAT_VERSION_MAJOR),
        openLibrary("avcodec", LIBAVCODEC_VERSION_MAJOR),
        openLibrary("avutil", LIBAVUTIL_VERSION_MAJOR),
        openLibrary("swscale", LIBSWSCALE_VERSION_MAJOR),
    };
    bool complete = true;
    const auto resolve = [&](auto &function, const char *name) {
        for (QLibrary *library : libraries) {
            if (QFunctionPointer found = library ? library->resolve(name) : nullptr) {
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
