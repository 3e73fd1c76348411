#ifndef LINKROUTES_H
#define LINKROUTES_H

#include "incomingrequest.h"
#include "servicecontext.h"
#include "servicereply.h"

#include <optional>

// Short links, video uploads and the files served back.
class LinkRoutes
{
public:
    static constexpr qint64 MaxUploadSize = qint64(2) * 1024 * 1024 * 1024;

    explicit LinkRoutes(const ServiceContext &context);

    std::optional<ServiceReply> handle(const IncomingRequest &request) const;

    // An upload comes in two steps: its head is checked before the body is
    // streamed to a file; then the file is moved into place and recorded.
    static bool isUpload(const IncomingRequest &request);
    std::optional<ServiceReply> beginUpload(IncomingRequest &request) const;
    ServiceReply finishUpload(IncomingRequest &request) const;

private:
    ServiceReply shorten(const IncomingRequest &request) const;
    ServiceReply expand(const IncomingRequest &request, const QString &code) const;
    ServiceReply video(const IncomingRequest &request, const QString &id) const;

    const ServiceContext &m_context;
};

#endif
