#pragma once
// Great-circle geometry for the track: haversine on a sphere of 6371 km.

double Gps_DegToRad(double degrees);
// Note the argument order: longitude before latitude.
double Gps_DistanceKm(double lon1, double lat1, double lon2, double lat2);
