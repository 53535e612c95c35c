-e
@TEXT
