// Placeholder until the simulator core lands.
