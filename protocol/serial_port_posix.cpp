// The POSIX serial port.
