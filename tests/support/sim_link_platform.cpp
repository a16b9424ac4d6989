// Placeholder until the test support lands.
