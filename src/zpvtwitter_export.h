#ifndef ZPVTWITTER_EXPORT_H
#define ZPVTWITTER_EXPORT_H

#include <QtCore/qglobal.h>

// The library is built with hidden visibility; only what hosts and sibling
// applets call carries this mark.
#if defined(ZPVTWITTER_BUILDING)
#define ZPVTWITTER_EXPORT Q_DECL_EXPORT
#else
#define ZPVTWITTER_EXPORT Q_DECL_IMPORT
#endif

#endif
