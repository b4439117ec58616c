#include "resources/Artwork.h"

#include <QString>

// The resource data sits in a static library, where nothing else refers to
// its registration; naming it here keeps the linker from dropping it.
static void RegisterArtwork()
{
    Q_INIT_RESOURCE(artwork);
}

QPixmap Artwork(const char* name)
{
    static const bool registered = (RegisterArtwork(), true);
    (void)registered;
    return QPixmap(QStringLiteral(":/artwork/") + QString::fromLatin1(name));
}
