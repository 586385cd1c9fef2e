// Stands in for a folder whose library has no sources yet.
