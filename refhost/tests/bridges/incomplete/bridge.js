// A bridge that dies before it connects, as one whose start fails would.
process.exit(3);
