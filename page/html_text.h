#pragma once

#include "page/page_options.h"

#include <QString>

// A name or folder title as it goes into the page, escaped as the source's kind asks.
QString texteHtml(const QString &texte, Echappement echappement);

// A URL as it goes into the page: '"', CR and LF are percent-encoded, so that nothing leaves
// the href attribute.
QString urlHtml(const QString &url);
