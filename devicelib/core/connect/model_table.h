// The model table: which model class a connection creates for the model text of a scanner's identity,
// and where that model's firmware file name comes from.
//
// Each series' rows are tried in table order, and only on that series' own transport. Model texts are
// compared as prefixes (the identity's model field must begin with the whole literal), except where a
// row asks for the whole text; the first-series catch-all row takes any text.
#pragma once

#include <span>

#include "connect/series_id.h"

namespace qv6 {

enum class TextMatch {
  kPrefix,  // the model text begins with the literal
  kWhole,   // the model text is the literal
  kAny,     // every model text
};

struct ModelRow {
  SeriesId series;
  const char* text;  // the literal; nullptr for kAny
  TextMatch match;
  const char* modelClass;   // the key of the model registry
  const char* firmwareKey;  // descriptor INI key; nullptr when the series takes no firmware file
  const char* defaultFile;  // the key's default
  const char* logLine;      // the log line of a connect that creates the model
};

std::span<const ModelRow> ModelTable();

// The first row of `series` whose test the model text passes; nullptr when none does. A null text counts
// as empty.
const ModelRow* MatchModel(SeriesId series, const char* modelText);

}  // namespace qv6
