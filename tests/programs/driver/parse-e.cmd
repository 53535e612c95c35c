--parse
-e
@TEXT
