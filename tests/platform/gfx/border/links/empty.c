/* Nothing: the libraries here only carry links. */
