// Placeholder translation unit so the library links before its areas exist.
