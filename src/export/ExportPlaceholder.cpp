// Exports.
