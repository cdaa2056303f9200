// PLACEHOLDER: being written; replace this whole file.
