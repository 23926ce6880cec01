// Replaced by the simulated dongle and meter.
namespace sim { int placeholder() { return 0; } }
