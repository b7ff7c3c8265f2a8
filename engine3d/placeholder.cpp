// Replaced as the subsystem is written.
