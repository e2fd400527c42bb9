// Target definitions.
