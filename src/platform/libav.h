#ifndef LIBAV_H
#define LIBAV_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

// The media libraries, opened on first use instead of at start: loading them
// pulls in some hundred libraries with costly initialisers (tens of
// milliseconds), which a process that never probes a file, a gallery whose
// probes are all cached or the help text should not pay. Each member is the
// function of that name, typed by the headers the code is built with.
class LibAv
{
public:
    // Null when a library or a function is missing (the log says which).
    static const LibAv *instance();

#define ZPV_LIBAV_FUNCTION(name) decltype(&::name) name = nullptr;
#define ZPV_LIBAV_FUNCTIONS(F)                                                                     \
    F(av_dict_free)                                                                                \
    F(av_dict_set)                                                                                 \
    F(av_frame_alloc)                                                                              \
    F(av_frame_free)                                                                               \
    F(av_rescale_q_rnd)                                                                            \
    F(av_find_best_stream)                                                                         \
    F(av_read_frame)                                                                               \
    F(av_seek_frame)                                                                               \
    F(avformat_alloc_context)                                                                      \
    F(avformat_close_input)                                                                        \
    F(avformat_find_stream_info)                                                                   \
    F(avformat_open_input)                                                                         \
    F(avio_closep)                                                                                 \
    F(avio_open2)                                                                                  \
    F(av_packet_alloc)                                                                             \
    F(av_packet_free)                                                                              \
    F(av_packet_unref)                                                                             \
    F(avcodec_alloc_context3)                                                                      \
    F(avcodec_find_decoder)                                                                        \
    F(avcodec_free_context)                                                                        \
    F(avcodec_open2)                                                                               \
    F(avcodec_parameters_to_context)                                                               \
    F(avcodec_receive_frame)                                                                       \
    F(avcodec_send_packet)                                                                         \
    F(sws_freeContext)                                                                             \
    F(sws_getContext)                                                                              \
    F(sws_scale)
    ZPV_LIBAV_FUNCTIONS(ZPV_LIBAV_FUNCTION)
#undef ZPV_LIBAV_FUNCTION

private:
    LibAv() = default;
    bool load();
};

#endif
