#include "platform/mediaprobe.h"

#include "platform/libav.h"

#include <QFile>

#include <memory>

namespace {

// The entry points make sure the libraries loaded before anything below runs.
const LibAv *libav()
{
    return LibAv::instance();
}

struct FormatCloser
{
    void operator()(AVFormatContext *context) const
    {
        AVIOContext *io = context->pb;
        libav()->avformat_close_input(&context);
        libav()->avio_closep(&io);
    }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatCloser>;

struct CodecCloser
{
    void operator()(AVCodecContext *context) const { libav()->avcodec_free_context(&context); }
};
struct FrameCloser
{
    void operator()(AVFrame *frame) const { libav()->av_frame_free(&frame); }
};
struct PacketCloser
{
    void operator()(AVPacket *packet) const { libav()->av_packet_free(&packet); }
};

int refuseNestedOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

int openReader(AVIOContext **io, const QByteArray &url)
{
    AVDictionary *options = nullptr;
    libav()->av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = libav()->avio_open2(io, url.constData(), AVIO_FLAG_READ, nullptr, &options);
    libav()->av_dict_free(&options);
    return opened;
}

// The file alone: its content must never make a demuxer open anything else
// (playlists, concatenation lists, references to the network).
FormatContext openInput(const QString &path, int fd = -1, bool *opened = nullptr)
{
    AVIOContext *io = nullptr;
    const QByteArray url = "file:" + QFile::encodeName(path);
    const bool viaFd
        = fd >= 0 && openReader(&io, "file:/proc/self/fd/" + QByteArray::number(fd)) >= 0;
    // Without /proc the path is all there is, and it may name another file
    // by now: the answer is not the descriptor's then.
    if (!viaFd && openReader(&io, url) < 0)
        return nullptr;
    AVFormatContext *context = libav()->avformat_alloc_context();
    if (!context) {
        libav()->avio_closep(&io);
        return nullptr;
    }
    if (opened)
        *opened = viaFd || fd < 0;
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->io_open = refuseNestedOpen;
    if (libav()->avformat_open_input(&context, url.constData(), nullptr, nullptr) < 0) {
        libav()->avio_closep(&io); // the context is freed, our reader is not
        return nullptr;
    }
    return FormatContext(context);
}

// Demuxers that read one picture, an image sequence, text art or a list of
// other files: what they report is no movie of this file.
bool isExcludedFormat(const AVInputFormat *format)
{
    const QByteArray name(format->name);
    return name.startsWith("image2") || name.endsWith("_pipe") || name == "gif" || name == "apng"
        || name == "webp" || name == "tty" || name == "bin" || name == "concat" || name == "hls";
}

int videoStreamIndex(AVFormatContext *context)
{
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
            && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return int(i);
    }
    return -1;
}

qint64 durationOf(AVFormatContext *context, int stream)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration >= 0)
        return context->duration / AV_TIME_BASE;
    const AVStream *video = context->streams[stream];
    if (video->duration != AV_NOPTS_VALUE && video->duration >= 0)
        return libav()->av_rescale_q_rnd(
            video->duration, video->time_base, AVRational { 1, 1 }, AV_ROUND_DOWN);
    return -1;
}

} // namespace

MediaProbe probeMedia(const QString &path, int fd)
{
    MediaProbe result;
    if (!libav())
        return result; // inconclusive: no answer from the content
    FormatContext context = openInput(path, fd, &result.conclusive);
    if (!context || isExcludedFormat(context->iformat))
        return result;
    int stream = videoStreamIndex(context.get());
    // Most containers name their streams and length in the header; reading
    // packets is only needed for the rest.
    if (stream < 0 || durationOf(context.get(), stream) < 0) {
        if (libav()->avformat_find_stream_info(context.get(), nullptr) < 0)
            return result;
        stream = videoStreamIndex(context.get());
    }
    if (stream < 0)
        return result;
    result.isMovie = true;
    result.durationSeconds = durationOf(context.get(), stream);
    return result;
}

QImage decodeVideoFrame(const QString &path)
{
    if (!libav())
        return {};
    FormatContext context = openInput(path);
    if (!context || libav()->avformat_find_stream_info(context.get(), nullptr) < 0)
        return {};
    const int index
        = libav()->av_find_best_stream(context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return {};
    AVStream *stream = context->streams[index];
    const AVCodec *codec = libav()->avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return {};
    std::unique_ptr<AVCodecContext, CodecCloser> decoder(libav()->avcodec_alloc_context3(codec));
    if (!decoder || libav()->avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0
        || libav()->avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return {};

    // The first frames are often black; a tenth in shows the content.
    if (context->duration > 0) {
        const int64_t target = context->duration / 10;
        if (libav()->av_seek_frame(context.get(), -1, target, AVSEEK_FLAG_BACKWARD) < 0)
            libav()->av_seek_frame(context.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
    }

    std::unique_ptr<AVPacket, PacketCloser> packet(libav()->av_packet_alloc());
    std::unique_ptr<AVFrame, FrameCloser> frame(libav()->av_frame_alloc());
    if (!packet || !frame)
        return {};
    bool got = false;
    bool draining = false;
    while (!got) {
        if (!draining) {
            const int rc = libav()->av_read_frame(context.get(), packet.get());
            if (rc < 0) {
                draining = true;
                libav()->avcodec_send_packet(decoder.get(), nullptr);
            } else {
                const bool ours = packet->stream_index == index;
                if (ours)
                    libav()->avcodec_send_packet(decoder.get(), packet.get());
                libav()->av_packet_unref(packet.get());
                if (!ours)
                    continue;
            }
        }
        const int rc = libav()->avcodec_receive_frame(decoder.get(), frame.get());
        if (rc == 0)
            got = true;
        else if (rc == AVERROR_EOF || (draining && rc == AVERROR(EAGAIN)))
            return {};
        else if (rc != AVERROR(EAGAIN))
            return {};
    }
    if (frame->width <= 0 || frame->height <= 0)
        return {};

    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    SwsContext *scaler
        = libav()->sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
            frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler)
        return {};
    uint8_t *planes[4] = { image.bits(), nullptr, nullptr, nullptr };
    int strides[4] = { int(image.bytesPerLine()), 0, 0, 0 };
    libav()->sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    libav()->sws_freeContext(scaler);
    return image;
}
