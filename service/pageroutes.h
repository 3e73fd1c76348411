#ifndef PAGEROUTES_H
#define PAGEROUTES_H

#include "incomingrequest.h"
#include "servicecontext.h"
#include "servicereply.h"

#include <optional>

// The few HTML pages a person looks at: the latest statuses and how to sign up.
class PageRoutes
{
public:
    static constexpr int ListedStatuses = 50;

    explicit PageRoutes(const ServiceContext &context);

    std::optional<ServiceReply> handle(const IncomingRequest &request) const;

    // The pages' frame around content (HTML already escaped); title is escaped here.
    static QString page(const QString &title, const QString &content);

private:
    ServiceReply home() const;
    ServiceReply signup() const;

    const ServiceContext &m_context;
};

#endif
