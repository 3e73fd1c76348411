#ifndef SHAREDIMAGES_H
#define SHAREDIMAGES_H

// Registers the suite's built-in images (":/Images/Badges/...": overlays,
// the share icon, the missing-icon stand-in) once. Needed before the first
// load: in a static link nothing else pulls the resource object in.
void initSharedImages();

#endif
