#pragma once
// FlightGear's route (its route manager's active route) as a flight-plan
// file of the form the node imports.

#include <string>
#include <vector>

struct RouteWaypoint {
  std::string id;
  double latitude = 0;
  double longitude = 0;
  double altitudeFeet = 0;
};

struct Route {
  std::string departure;
  std::string destination;
  double cruiseFeet = 0;
  std::vector<RouteWaypoint> waypoints;
};

// The file's text: title, cruising altitude, and each waypoint with its
// type (airport for the departure and destination, else a fix) and position.
std::string FlightPlanText(const Route& route);

// "N37° 37' 8.40\",W122° 22' 30.00\",+000013.00"
std::string WorldPosition(double latitude, double longitude, double altitudeFeet);
