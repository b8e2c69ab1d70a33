// Keeps the Windows library non-empty while its folders are still filling.
