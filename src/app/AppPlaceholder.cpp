// The window comes here.
