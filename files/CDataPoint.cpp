#include "files/CDataPoint.h"

// Records travel through queued connections and variants.
static const int dataPointMetaTypeId = qRegisterMetaType<CDataPoint>("CDataPoint");
static const int dataPointListMetaTypeId = qRegisterMetaType<QList<CDataPoint>>("QList<CDataPoint>");
