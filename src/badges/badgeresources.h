#ifndef BADGERESOURCES_H
#define BADGERESOURCES_H

// Registers the library's own badge images (":/Images/Badges/...") once.
// Needed before the first load: in a static link nothing else pulls the
// resource object in.
void initBadgeResources();

#endif
