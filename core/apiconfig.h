#pragma once

#include <QString>

// The service's API base address: VERBOLIX_API_BASE from the environment when set,
// otherwise the compiled-in address. Scheme and host[:port], no trailing slash.
QString ApiBaseUrl();
// The compiled-in access key sent as licenceKey.
QString LicenceKey();
// The compiled-in address of the service's website (links in entries point there).
QString WebsiteUrl();
// The compiled-in address of the maker's website, where the program's help pages are:
// scheme and host, no trailing slash.
QString MakerWebsiteUrl();
// The program's own version, "2.0.0.0".
QString ProgramVersion();
