#pragma once
// The wizard's side of the GPS receiver setup: slots and roles by table row.
#include "measure/gpssetup.h"

GpsSetupHost& DriveTest_GpsHost();
