#include "document/display_filter.h"

namespace vemra {

DisplayFilter DisplayFilter::fromOptions(const DocumentOptions& o) {
    DisplayFilter f;
    f.useMask = o.filterFileName;
    f.mask = o.pathMask;
    f.dateOn = o.filterFileDate;
    f.dateFrom = o.dateFrom;
    f.dateTo = o.dateTo;
    f.sizeOn = o.filterFileSize;
    f.sizeMinimum = o.sizeMinimum;
    f.sizeMaximum = o.sizeMaximum;
    return f;
}

bool DisplayFilter::applyTo(DocumentOptions& o) const {
    if (fromOptions(o) == *this)
        return false;
    o.filterFileName = useMask;
    o.pathMask = mask;
    o.filterFileDate = dateOn;
    o.dateFrom = dateFrom;
    o.dateTo = dateTo;
    o.filterFileSize = sizeOn;
    o.sizeMinimum = sizeMinimum;
    o.sizeMaximum = sizeMaximum;
    return true;
}

} // namespace vemra
