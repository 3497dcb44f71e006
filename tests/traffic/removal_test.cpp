// Filled by its change.
