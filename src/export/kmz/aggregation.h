#pragma once
// Aggregation of one grid cell of the KMZ map: per value channel its worst,
// average and best value and validity, per graph channel an occupancy
// histogram, per text parameter its most frequent texts, and the distribution
// of receiver states. The distribution bitmaps of the cell are written into
// the archive on the way.
#include "export/kmz/kmzexport.h"

// Computes the cell's figures from its samples and writes its graph histograms
// and value distributions. A sample whose receiver status is not "No error" is
// made invalid in every recorded channel of the data set (its speed stays).
// False only when an archive write fails.
bool aggregateCell(KmzExport& ex, MapCell& cell);

// The distribution bin (0..49) of a valid value x of a channel whose cell figures
// run from worst to best; rating kind 2 bins the magnitude.
int Kmz_DistributionBin(double x, double worst, double best, int ratingKind);
